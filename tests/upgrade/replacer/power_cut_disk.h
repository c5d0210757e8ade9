#pragma once

// A disk that can lose its power at any point, for crash tests: a FUSE file system mounted on a
// fresh temporary folder that passes every operation through to a backing folder and records
// each one that changes it (creating, writing, truncating, changing the mode, renaming, linking
// and removing files) together with every file and folder sync. What the backing folder holds
// when the disk is mounted counts as synced. From the initial state and the log, CrashStatesAt
// (crash_states.h, which also states the model and its limits) rebuilds what a power cut after
// any operation could have left.
//
// Only what the model knows is allowed: making or removing folders, symbolic links and special
// files fail (ENOSYS), and so do moves and links between folders (EXDEV). Times pass through
// unrecorded. Mounting needs /dev/fuse and root; where either is missing, mounted() is false
// and the test skips itself.

#include "crash_states.h"
#include "tests/support/fuse_mount.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

struct fuse_file_info;

namespace vutest {

class PowerCutDisk {
public:
    explicit PowerCutDisk(const std::string& backingFolder);
    // Unmounts (whatever still uses the disk is cut off) and removes the mount folder.
    ~PowerCutDisk();
    PowerCutDisk(const PowerCutDisk&) = delete;
    PowerCutDisk& operator=(const PowerCutDisk&) = delete;

    bool mounted() const { return mount_.mounted(); }
    // The mounted folder with a trailing "/".
    std::string path() const { return mount_.path(); }

    // The backing folder as it was mounted, and every change recorded since, in order.
    DiskState initial() const;
    std::vector<DiskOperation> operations() const;

private:
    struct Handle {
        int fd = -1;
        std::uint64_t file = 0;
    };
    static PowerCutDisk* self();
    // Calls `use` with the open file of the descriptor, under the lock; -EBADF when unknown.
    static int withHandle(struct fuse_file_info* fi,
                          const std::function<int(PowerCutDisk&, const Handle&)>& use);
    static int getattr(const char* path, struct stat* st, struct fuse_file_info* fi);
    static int open(const char* path, struct fuse_file_info* fi);
    static int create(const char* path, mode_t mode, struct fuse_file_info* fi);
    static int read(const char* path, char* buf, size_t size, off_t offset,
                    struct fuse_file_info* fi);
    static int write(const char* path, const char* buf, size_t size, off_t offset,
                     struct fuse_file_info* fi);
    static int truncate(const char* path, off_t size, struct fuse_file_info* fi);
    static int chmod(const char* path, mode_t mode, struct fuse_file_info* fi);
    static int utimens(const char* path, const struct timespec tv[2], struct fuse_file_info* fi);
    static int unlink(const char* path);
    static int rename(const char* from, const char* to, unsigned int flags);
    static int link(const char* from, const char* to);
    static int fsync(const char* path, int datasync, struct fuse_file_info* fi);
    static int opendir(const char* path, struct fuse_file_info* fi);
    static int fsyncdir(const char* path, int datasync, struct fuse_file_info* fi);
    static int releasedir(const char* path, struct fuse_file_info* fi);
    static int release(const char* path, struct fuse_file_info* fi);

    // The backing path of a path inside the mount ("/App/a.dat").
    std::string backing(const char* path) const { return backing_ + (path + 1); }
    // Opens the backing file and records the open's truncation. Lock held.
    int openFile(const char* path, struct fuse_file_info* fi, std::uint64_t file);
    // The file of an open descriptor, else the file of that name; 0 when neither. Lock held.
    std::uint64_t fileOf(const char* path, const struct fuse_file_info* fi) const;
    void record(DiskOperation operation) { log_.push_back(std::move(operation)); }

    std::string backing_; // with a trailing "/"
    mutable std::mutex lock_;
    DiskState initial_;
    std::map<std::string, std::uint64_t> names_; // the files' names now, as in DiskState
    std::uint64_t nextFile_ = 1;
    std::map<std::uint64_t, Handle> handles_;
    std::map<std::uint64_t, std::string> folders_; // open folders by handle, named as in the log
    std::uint64_t nextHandle_ = 1;
    std::vector<DiskOperation> log_;
    FuseMount mount_; // last: unmounted before the log and the handles go
};

} // namespace vutest
