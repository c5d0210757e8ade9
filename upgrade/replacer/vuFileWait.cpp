#include "upgrade/replacer/vuFileWait.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vu {

namespace replacer {

namespace {

// Looks through the process table for a process whose executable is the given file. Used only
// when the write probe cannot tell (no write permission, read-only file system).
bool AnyProcessExecutes(const struct stat& file) {
    DIR* proc = opendir("/proc");
    if (!proc)
        return false;
    bool found = false;
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0')
            continue;
        const std::string exe = std::string("/proc/") + entry->d_name + "/exe";
        struct stat st {};
        if (stat(exe.c_str(), &st) == 0 && st.st_dev == file.st_dev && st.st_ino == file.st_ino) {
            found = true;
            break;
        }
    }
    closedir(proc);
    return found;
}

void LowerThisThreadPriority() {
#ifdef __linux__
    // On Linux the nice value belongs to the thread, so only this waiting thread is lowered.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
#endif
}

} // namespace

bool IsRunningExecutable(const std::string& path) {
    // The kernel refuses to open a running executable for writing. Opening without truncation
    // leaves the file untouched.
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return false;
    }
    if (errno == ETXTBSY || errno == EINTR)
        return true;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return AnyProcessExecutes(st);
}

void WaitUntilFileFree(const std::string& path) {
    std::thread waiter([&path] {
        LowerThisThreadPriority();
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (!IsRunningExecutable(path))
                break;
        }
    });
    waiter.join();
}

} // namespace replacer

} // namespace vu
