// Preloaded into the replacement helper by the tests: kills the process with SIGKILL right
// before (KILL_BEFORE_RENAME=n) or right after (KILL_AFTER_RENAME=n) its n-th rename.
#include <csignal>
#include <cstdlib>
#include <dlfcn.h>

namespace {

int Limit(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : 0;
}

int calls = 0;

} // namespace

extern "C" int rename(const char* from, const char* to) {
    using RenameFn = int (*)(const char*, const char*);
    static RenameFn real = reinterpret_cast<RenameFn>(dlsym(RTLD_NEXT, "rename"));
    ++calls;
    if (calls == Limit("KILL_BEFORE_RENAME"))
        raise(SIGKILL);
    const int rc = real(from, to);
    if (calls == Limit("KILL_AFTER_RENAME"))
        raise(SIGKILL);
    return rc;
}
