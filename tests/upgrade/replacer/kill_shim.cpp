// Preloaded into the replacement helper by the tests to make its file operations fail as they
// do for real:
//   KILL_BEFORE_RENAME=n / KILL_AFTER_RENAME=n   SIGKILL right before / after the n-th rename
//   FAIL_RENAME=n                                the n-th rename fails with FAIL_ERRNO
//   FAIL_FCHMOD=n                                the n-th fchmod fails with FAIL_ERRNO
//   FAIL_ERRNO=EACCES|EXDEV|EIO                  (EACCES unless given)
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>

namespace {

int Limit(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : 0;
}

int InjectedErrno() {
    const char* value = std::getenv("FAIL_ERRNO");
    if (value && std::strcmp(value, "EXDEV") == 0)
        return EXDEV;
    if (value && std::strcmp(value, "EIO") == 0)
        return EIO;
    return EACCES;
}

int renames = 0;
int chmods = 0;

} // namespace

extern "C" int rename(const char* from, const char* to) {
    using RenameFn = int (*)(const char*, const char*);
    static RenameFn real = reinterpret_cast<RenameFn>(dlsym(RTLD_NEXT, "rename"));
    ++renames;
    if (renames == Limit("KILL_BEFORE_RENAME"))
        raise(SIGKILL);
    if (renames == Limit("FAIL_RENAME")) {
        errno = InjectedErrno();
        return -1;
    }
    const int rc = real(from, to);
    if (renames == Limit("KILL_AFTER_RENAME"))
        raise(SIGKILL);
    return rc;
}

extern "C" int fchmod(int fd, mode_t mode) {
    using FchmodFn = int (*)(int, mode_t);
    static FchmodFn real = reinterpret_cast<FchmodFn>(dlsym(RTLD_NEXT, "fchmod"));
    if (++chmods == Limit("FAIL_FCHMOD")) {
        errno = InjectedErrno();
        return -1;
    }
    return real(fd, mode);
}
