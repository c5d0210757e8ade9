#pragma once

// A small file system in memory (FUSE) mounted on a fresh temporary folder, whose files can be
// created, written, read and removed as usual, except that a sync of a file's data (fsync) is
// held until the test lets it go. So a test can stop a program for certain inside the sync
// that ends a download, as a slow or stalled disk would. Mounting needs /dev/fuse and root;
// where either is missing, mounted() is false and the test skips itself.

#include "tests/support/fuse_mount.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

struct fuse_file_info;

namespace vutest {

class HeldSyncDisk {
public:
    HeldSyncDisk();
    // Lets every held sync go, unmounts and removes the folder.
    ~HeldSyncDisk();
    HeldSyncDisk(const HeldSyncDisk&) = delete;
    HeldSyncDisk& operator=(const HeldSyncDisk&) = delete;

    bool mounted() const { return mount_.mounted(); }
    // The mounted folder with a trailing "/".
    std::string path() const { return mount_.path(); }

    // Waits up to `timeout` until a sync has reached the file system and is being held.
    bool waitForHeldSync(std::chrono::milliseconds timeout);
    // The name of the file whose sync was held first ("" before any), e.g. "a.bin".
    std::string heldSyncOf() const;
    // Lets the held syncs (and every later one) complete.
    void releaseSyncs();
    // Whether the file system holds a file of this name (without going through the mount).
    bool holds(const std::string& name) const;

private:
    struct Node {
        std::string data;
        mode_t mode = 0100644;
        std::string name; // its last name, without the leading "/"
    };
    static HeldSyncDisk* self();
    static int getattr(const char* path, struct stat* st, struct fuse_file_info* fi);
    static int create(const char* path, mode_t mode, struct fuse_file_info* fi);
    static int open(const char* path, struct fuse_file_info* fi);
    static int read(const char* path, char* buf, size_t size, off_t offset,
                    struct fuse_file_info* fi);
    static int write(const char* path, const char* buf, size_t size, off_t offset,
                     struct fuse_file_info* fi);
    static int truncate(const char* path, off_t size, struct fuse_file_info* fi);
    static int chmod(const char* path, mode_t mode, struct fuse_file_info* fi);
    static int utimens(const char* path, const struct timespec tv[2], struct fuse_file_info* fi);
    static int unlink(const char* path);
    static int rename(const char* from, const char* to, unsigned int flags);
    static int fsync(const char* path, int datasync, struct fuse_file_info* fi);
    static int release(const char* path, struct fuse_file_info* fi);
    // The file of an open descriptor (it outlives its name); null when unknown. Lock held.
    std::shared_ptr<Node> opened(const struct fuse_file_info* fi) const;
    // The file of an open descriptor, else the file of that name; null when neither. Lock held.
    std::shared_ptr<Node> nodeOf(const char* path, const struct fuse_file_info* fi) const;
    // Applies `change` to the file of the descriptor or name, under the lock; -ENOENT when none.
    static int changeNode(const char* path, struct fuse_file_info* fi,
                          const std::function<void(Node&)>& change);

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::map<std::string, std::shared_ptr<Node>> files_;       // by path inside the mount, "/a.bin"
    std::map<unsigned long long, std::shared_ptr<Node>> open_; // by file handle
    unsigned long long nextHandle_ = 1;
    int syncsHeld_ = 0;
    std::string firstHeld_;
    bool released_ = false;
    FuseMount mount_; // last: unmounted before the files go
};

} // namespace vutest
