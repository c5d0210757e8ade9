// Stand-in for the program being upgraded. Each start appends one line to run.log in its own
// folder: version, file name, nice value and arguments. With FAKE_HOLD=name:fifo in the
// environment, a program of that file name stays running until the fifo's writer closes it.
// Started with the restart switch while a replacement helper waits for it (its journal exists),
// it confirms its start as the real program does, unless FAKE_NO_CONFIRM names it; FAKE_FAIL
// naming it makes it exit with status 1 at once, without confirming. FAKE_KILL_PARENT naming it
// makes it kill the process that started it (the helper) with SIGKILL once it has confirmed (or
// not, with FAKE_NO_CONFIRM).
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#ifndef FAKE_VERSION
#define FAKE_VERSION "v0"
#endif

int main(int argc, char** argv) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return 2;
    self[n] = '\0';
    std::string path(self);
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    const std::string name = path.substr(path.rfind('/') + 1);

    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    std::string line = std::string(FAKE_VERSION) + " " + name + " nice=" + std::to_string(nice);
    for (int i = 1; i < argc; ++i)
        line += std::string(" [") + argv[i] + "]";
    line += "\n";
    const int log = open((folder + "run.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (log < 0)
        return 3;
    if (write(log, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        return 4;
    close(log);

    auto named = [&name](const char* variable) {
        const char* value = std::getenv(variable);
        return value != nullptr && name == value;
    };
    if (named("FAKE_FAIL"))
        return 1;
    const std::string own = path;
    if (argc > 1 && !named("FAKE_NO_CONFIRM") &&
        (std::strcmp(argv[1], "/afterupgrade") == 0 ||
         std::strcmp(argv[1], "--upgrade-confirm") == 0) &&
        access((own + ".uJRN").c_str(), F_OK) == 0) {
        const int confirmation = open((own + ".uOK").c_str(), O_WRONLY | O_CREAT, 0644);
        if (confirmation >= 0)
            close(confirmation);
    }
    if (named("FAKE_KILL_PARENT"))
        kill(getppid(), SIGKILL);

    if (const char* hold = std::getenv("FAKE_HOLD")) {
        const std::string setting(hold);
        const std::string::size_type colon = setting.find(':');
        if (colon != std::string::npos && setting.substr(0, colon) == name) {
            const int fifo = open(setting.substr(colon + 1).c_str(), O_RDONLY);
            char buf[64];
            while (fifo >= 0 && read(fifo, buf, sizeof buf) > 0) {
            }
        }
    }
    return 0;
}
