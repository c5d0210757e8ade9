// A shared library opened on first use instead of linked, so that the program starts without it
// (libcurl, libcrypto): its file, the opening, the look-up of its functions and why that failed.
// Plain C++; the callers keep their function tables and forwarding functions.
#pragma once

#include <mutex>
#include <string>

namespace vu {

class TvuSharedLibrary {
public:
    explicit TvuSharedLibrary(const char* file) : file_(file) {}
    TvuSharedLibrary(const TvuSharedLibrary&) = delete;
    TvuSharedLibrary& operator=(const TvuSharedLibrary&) = delete;

    // Opens the file with every symbol bound at once and kept private to it; it stays loaded
    // until the process ends. nullptr, with Error() saying why, when it cannot be opened.
    void* Open();

    // Looks `name` up in an opened library and stores it in `function`; false, with Error()
    // naming the file and the reason, when the library lacks it (older than the build's).
    template <typename Function> bool Resolve(void* library, const char* name, Function& function) {
        function = reinterpret_cast<Function>(Symbol(library, name));
        return function != nullptr;
    }

    // True once the file is in this process, whoever loaded it. Does not load it.
    bool Loaded() const;

    // Why opening or a look-up failed; empty when nothing failed or nothing was tried.
    std::string Error() const;

    // Opens `file` instead. Only before the first Open; for tests of a missing library.
    void SetFile(const char* file) { file_ = file; }
    const char* File() const { return file_; }

private:
    void* Symbol(void* library, const char* name);
    void SetError(std::string error);

    const char* file_;
    mutable std::mutex errorLock_;
    std::string error_;
};

} // namespace vu
