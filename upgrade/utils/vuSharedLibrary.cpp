#include "upgrade/utils/vuSharedLibrary.h"

#include <dlfcn.h>

namespace vu {

void* TvuSharedLibrary::Open() {
    void* library = dlopen(file_, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        SetError(reason ? reason : file_);
    }
    return library;
}

void* TvuSharedLibrary::Symbol(void* library, const char* name) {
    void* symbol = dlsym(library, name);
    if (!symbol) {
        const char* reason = dlerror();
        SetError(std::string(file_) + ": " + (reason ? reason : std::string(name) + " missing"));
    }
    return symbol;
}

bool TvuSharedLibrary::Loaded() const {
    void* library = dlopen(file_, RTLD_LAZY | RTLD_NOLOAD);
    if (!library)
        return false;
    dlclose(library);
    return true;
}

std::string TvuSharedLibrary::Error() const {
    std::lock_guard<std::mutex> guard(errorLock_);
    return error_;
}

void TvuSharedLibrary::SetError(std::string error) {
    std::lock_guard<std::mutex> guard(errorLock_);
    error_ = std::move(error);
}

} // namespace vu
