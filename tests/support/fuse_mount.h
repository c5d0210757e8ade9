#pragma once

// A test's own file system (FUSE), mounted on a fresh temporary folder and served by a thread of
// its own until it is unmounted. Nothing is cached, so every look at the mount asks the file
// system; a removed name goes at once, also while its file is open; calls on an open file or
// folder may come without a path (nullpath_ok): the operations know it by its handle. Mounting
// needs /dev/fuse and root; where either is missing, mounted() stays false.

#include <string>
#include <thread>

struct fuse;
struct fuse_operations;

namespace vutest {

class FuseMount {
public:
    enum class Serving {
        OneAtATime,  // the requests are served in the order they arrive
        Concurrently // a request may wait inside the file system without holding up the others
    };

    FuseMount() = default;
    ~FuseMount() { unmount(); }
    FuseMount(const FuseMount&) = delete;
    FuseMount& operator=(const FuseMount&) = delete;

    // Mounts the operations (their init is replaced); they find `owner` as the private data of
    // fuse_get_context(). With inodeNumbers, the numbers that getattr reports are kept, so that
    // two names of one file show one number. `name` makes the folder's name, e.g. "held-sync".
    bool mount(const fuse_operations& operations, void* owner, const std::string& name,
               Serving serving, bool inodeNumbers = false);
    // Cuts the connection off, whatever still uses the mount, ends the serving thread and removes
    // the folder. Called before the owner's data goes.
    void unmount();

    bool mounted() const { return fuse_ != nullptr; }
    // The mounted folder with a trailing "/".
    std::string path() const { return path_ + "/"; }

private:
    std::string path_;
    struct fuse* fuse_ = nullptr;
    std::thread loop_;
    void* owner_ = nullptr;
    bool inodeNumbers_ = false;
};

} // namespace vutest
