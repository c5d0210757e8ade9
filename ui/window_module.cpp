#include "ui/window_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace velmora {

namespace {

using WindowEntry = int (*)(int, char**);
using WindowVersion = const char* (*)();

// The folder of the running program, with a trailing "/"; empty when it cannot be read.
std::string programFolder() {
    std::vector<char> path(4096);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return {};
    const std::string file(path.data(), static_cast<std::size_t>(length));
    return file.substr(0, file.rfind('/') + 1);
}

// The entry point of the first module of this version, or nullptr with a line per place tried
// in reasons. A module that is loaded stays loaded until the program ends, one of another version
// too (unused): closing it could run the toolkit's teardown while the program goes on.
WindowEntry loadWindowModule(std::string& reasons) {
    const std::string folder = programFolder();
    for (const char* place : {"", VELMORA_WINDOW_MODULE_DIR "/"}) {
        const std::string module = folder + place + VELMORA_WINDOW_MODULE;
        void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* error = dlerror();
            reasons += std::string("\n  ") + (error != nullptr ? error : module.c_str());
            continue;
        }
        const auto version = reinterpret_cast<WindowVersion>(dlsym(handle, kWindowVersionName));
        const char* moduleVersion = version != nullptr ? version() : nullptr;
        if (moduleVersion == nullptr || std::strcmp(moduleVersion, VELMORA_PROJECT_VERSION) != 0) {
            reasons += "\n  " + module + ": version " +
                       (moduleVersion != nullptr ? moduleVersion : "unknown") +
                       ", not this program's " VELMORA_PROJECT_VERSION;
            continue;
        }
        if (auto entry = reinterpret_cast<WindowEntry>(dlsym(handle, kWindowEntryName)))
            return entry;
        reasons += "\n  " + module + ": no " + kWindowEntryName;
    }
    return nullptr;
}

WindowEntry loadOrSayWhy() {
    std::string reasons;
    const WindowEntry entry = loadWindowModule(reasons);
    if (entry == nullptr)
        std::fprintf(stderr, "velmora: the window cannot be loaded:%s\n", reasons.c_str());
    return entry;
}

} // namespace

int runWindowModule(int argc, char** argv) {
    const WindowEntry entry = loadOrSayWhy();
    return entry != nullptr ? entry(argc, argv) : 1;
}

bool windowModuleLoads() {
    return loadOrSayWhy() != nullptr;
}

} // namespace velmora
