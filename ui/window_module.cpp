#include "ui/window_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace velmora {

namespace {

using WindowEntry = int (*)(int, char**);

// The folder of the running program, with a trailing "/"; empty when it cannot be read.
std::string programFolder() {
    std::vector<char> path(4096);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return {};
    const std::string file(path.data(), static_cast<std::size_t>(length));
    return file.substr(0, file.rfind('/') + 1);
}

} // namespace

int runWindowModule(int argc, char** argv) {
    // Beside the program in the build tree, in the program's library folder once installed.
    const std::string folder = programFolder();
    std::string reasons;
    for (const char* place : {"", VELMORA_WINDOW_MODULE_DIR "/"}) {
        const std::string module = folder + place + VELMORA_WINDOW_MODULE;
        void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* error = dlerror();
            reasons += std::string("\n  ") + (error != nullptr ? error : module.c_str());
            continue;
        }
        // The module stays loaded until the program ends.
        if (auto entry = reinterpret_cast<WindowEntry>(dlsym(handle, kWindowEntryName)))
            return entry(argc, argv);
        reasons += "\n  " + module + ": no " + kWindowEntryName;
    }
    std::fprintf(stderr, "velmora: the window cannot be loaded:%s\n", reasons.c_str());
    return 1;
}

} // namespace velmora
