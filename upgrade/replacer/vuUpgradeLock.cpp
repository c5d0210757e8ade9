#include "upgrade/replacer/vuUpgradeLock.h"

#include "upgrade/replacer/vuReplacerCommandLine.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vu {

namespace replacer {

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether fd still names the file at path (a releaser may have removed it meanwhile).
bool StillAtPath(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return fstat(fd, &open) == 0 && lstat(path.c_str(), &named) == 0 && SameFile(open, named);
}

} // namespace

std::string LockPath(const std::string& programPath) {
    return FolderOf(programPath) + kLockName;
}

UpgradeLock::Result UpgradeLock::TryTake(const std::string& programPath) {
    if (Held())
        return Result::Taken;
    const std::string path = LockPath(programPath);
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0)
            return Result::Unavailable;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            close(fd);
            return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
        }
        if (StillAtPath(fd, path)) {
            fd_ = fd;
            path_ = path;
            return Result::Taken;
        }
        close(fd); // released and removed in between: take the new file
    }
    return Result::Unavailable;
}

bool UpgradeLock::AdoptInherited(const std::string& programPath) {
    if (Held())
        return true;
    const std::string path = LockPath(programPath);
    struct stat named {};
    if (lstat(path.c_str(), &named) != 0)
        return false;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return false;
    const int own = dirfd(dir);
    int found = -1;
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == own)
            continue;
        struct stat st {};
        if (fstat(static_cast<int>(fd), &st) == 0 && SameFile(st, named)) {
            found = static_cast<int>(fd);
            break;
        }
    }
    closedir(dir);
    // The inherited descriptor shares the program's lock; taking it again through it succeeds
    // at once, and proves that it is held.
    if (found < 0 || flock(found, LOCK_EX | LOCK_NB) != 0)
        return false;
    fcntl(found, F_SETFD, FD_CLOEXEC);
    fd_ = found;
    path_ = path;
    return true;
}

void UpgradeLock::Release() {
    if (!Held())
        return;
    if (StillAtPath(fd_, path_))
        unlink(path_.c_str());
    close(fd_);
    fd_ = -1;
}

void UpgradeLock::Forget() {
    if (Held())
        close(fd_);
    fd_ = -1;
}

bool UpgradeRunningElsewhere(const std::string& programPath) {
    const int fd = open(LockPath(programPath).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

} // namespace replacer

} // namespace vu
