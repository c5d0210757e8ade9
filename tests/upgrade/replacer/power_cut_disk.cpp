#define FUSE_USE_VERSION 31
#include "power_cut_disk.h"

#include <fuse3/fuse.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace vutest {

namespace {

std::string FolderOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return std::string(path, slash);
}

// The name inside the mount without its leading "/", as the log names it.
std::string NameOf(const char* path) {
    return path + 1;
}

} // namespace

PowerCutDisk::PowerCutDisk(const std::string& backingFolder)
    : backing_(backingFolder.back() == '/' ? backingFolder : backingFolder + "/") {
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return;
    initial_ = ReadDiskState(backing_);
    names_ = initial_.names;
    if (!initial_.files.empty())
        nextFile_ = initial_.files.rbegin()->first + 1;
    static const fuse_operations operations = [] {
        fuse_operations o{};
        o.getattr = &PowerCutDisk::getattr;
        o.open = &PowerCutDisk::open;
        o.create = &PowerCutDisk::create;
        o.read = &PowerCutDisk::read;
        o.write = &PowerCutDisk::write;
        o.truncate = &PowerCutDisk::truncate;
        o.chmod = &PowerCutDisk::chmod;
        o.utimens = &PowerCutDisk::utimens;
        o.unlink = &PowerCutDisk::unlink;
        o.rename = &PowerCutDisk::rename;
        o.link = &PowerCutDisk::link;
        o.fsync = &PowerCutDisk::fsync;
        o.opendir = &PowerCutDisk::opendir;
        o.fsyncdir = &PowerCutDisk::fsyncdir;
        o.releasedir = &PowerCutDisk::releasedir;
        o.release = &PowerCutDisk::release;
        return o;
    }();
    // One request at a time: the log holds them in the order the disk saw them. Hard links
    // show one inode number.
    mount_.mount(operations, this, "power-cut", FuseMount::Serving::OneAtATime, true);
}

PowerCutDisk::~PowerCutDisk() {
    mount_.unmount();
    for (const auto& [id, handle] : handles_)
        ::close(handle.fd);
}

DiskState PowerCutDisk::initial() const {
    std::lock_guard<std::mutex> guard(lock_);
    return initial_;
}

std::vector<DiskOperation> PowerCutDisk::operations() const {
    std::lock_guard<std::mutex> guard(lock_);
    return log_;
}

PowerCutDisk* PowerCutDisk::self() {
    return static_cast<PowerCutDisk*>(fuse_get_context()->private_data);
}

std::uint64_t PowerCutDisk::fileOf(const char* path, const fuse_file_info* fi) const {
    if (fi != nullptr) {
        const auto handle = handles_.find(fi->fh);
        if (handle != handles_.end())
            return handle->second.file;
    }
    const auto name = path != nullptr ? names_.find(NameOf(path)) : names_.end();
    return name != names_.end() ? name->second : 0;
}

int PowerCutDisk::getattr(const char* path, struct stat* st, fuse_file_info* fi) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto handle = fi != nullptr ? d->handles_.find(fi->fh) : d->handles_.end();
    const int rc = handle != d->handles_.end() ? ::fstat(handle->second.fd, st)
                   : path != nullptr           ? ::lstat(d->backing(path).c_str(), st)
                                               : (errno = ENOENT, -1);
    return rc == 0 ? 0 : -errno;
}

int PowerCutDisk::openFile(const char* path, fuse_file_info* fi, std::uint64_t file) {
    // Appending writes arrive with their offsets; the backing file is written at those.
    const int fd = ::open(backing(path).c_str(), (fi->flags & ~O_APPEND) | O_CLOEXEC, 0600);
    if (fd < 0)
        return -errno;
    if ((fi->flags & O_TRUNC) != 0 && (fi->flags & O_ACCMODE) != O_RDONLY)
        record({DiskChange::Truncate, {}, {}, file, 0, {}, 0, false});
    fi->fh = nextHandle_++;
    handles_[fi->fh] = {fd, file};
    return 0;
}

int PowerCutDisk::open(const char* path, fuse_file_info* fi) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const std::uint64_t file = d->fileOf(path, nullptr);
    if (file == 0)
        return -ENOENT;
    return d->openFile(path, fi, file);
}

int PowerCutDisk::create(const char* path, mode_t mode, fuse_file_info* fi) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    if (const std::uint64_t existing = d->fileOf(path, nullptr))
        return d->openFile(path, fi, existing);
    const int fd = ::open(d->backing(path).c_str(),
                          (fi->flags & ~O_APPEND) | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
    // The mode as asked (the kernel has applied the caller's umask), not less this process's.
    if (fd < 0 || ::fchmod(fd, mode & 07777) != 0) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
            ::unlink(d->backing(path).c_str());
        }
        return -error;
    }
    const std::uint64_t file = d->nextFile_++;
    d->names_[NameOf(path)] = file;
    d->record({DiskChange::Create, NameOf(path), {}, file, 0, {}, mode & 07777, false});
    fi->fh = d->nextHandle_++;
    d->handles_[fi->fh] = {fd, file};
    return 0;
}

int PowerCutDisk::release(const char*, fuse_file_info* fi) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto handle = d->handles_.find(fi->fh);
    if (handle != d->handles_.end()) {
        ::close(handle->second.fd);
        d->handles_.erase(handle);
    }
    return 0;
}

int PowerCutDisk::withHandle(fuse_file_info* fi,
                             const std::function<int(PowerCutDisk&, const Handle&)>& use) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto handle = d->handles_.find(fi->fh);
    return handle == d->handles_.end() ? -EBADF : use(*d, handle->second);
}

int PowerCutDisk::read(const char*, char* buf, size_t size, off_t offset, fuse_file_info* fi) {
    return withHandle(fi, [&](PowerCutDisk&, const Handle& handle) {
        const ssize_t n = ::pread(handle.fd, buf, size, offset);
        return n >= 0 ? static_cast<int>(n) : -errno;
    });
}

int PowerCutDisk::write(const char*, const char* buf, size_t size, off_t offset,
                        fuse_file_info* fi) {
    return withHandle(fi, [&](PowerCutDisk& d, const Handle& handle) {
        const ssize_t n = ::pwrite(handle.fd, buf, size, offset);
        if (n < 0)
            return -errno;
        d.record({DiskChange::Write,
                  {},
                  {},
                  handle.file,
                  static_cast<std::uint64_t>(offset),
                  std::string(buf, static_cast<std::size_t>(n)),
                  0,
                  false});
        return static_cast<int>(n);
    });
}

int PowerCutDisk::truncate(const char* path, off_t size, fuse_file_info* fi) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto handle = fi != nullptr ? d->handles_.find(fi->fh) : d->handles_.end();
    const std::uint64_t file = d->fileOf(path, fi);
    const int rc = handle != d->handles_.end() ? ::ftruncate(handle->second.fd, size)
                   : file != 0                 ? ::truncate(d->backing(path).c_str(), size)
                                               : (errno = ENOENT, -1);
    if (rc != 0)
        return -errno;
    d->record({DiskChange::Truncate, {}, {}, file, static_cast<std::uint64_t>(size), {}, 0, false});
    return 0;
}

int PowerCutDisk::chmod(const char* path, mode_t mode, fuse_file_info* fi) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto handle = fi != nullptr ? d->handles_.find(fi->fh) : d->handles_.end();
    const std::uint64_t file = d->fileOf(path, fi);
    if (file == 0)
        return path != nullptr && std::strcmp(path, "/") != 0 ? -EPERM : -ENOENT;
    const int rc = handle != d->handles_.end() ? ::fchmod(handle->second.fd, mode & 07777)
                                               : ::chmod(d->backing(path).c_str(), mode & 07777);
    if (rc != 0)
        return -errno;
    d->record({DiskChange::Chmod, {}, {}, file, 0, {}, mode & 07777, false});
    return 0;
}

int PowerCutDisk::utimens(const char* path, const struct timespec tv[2], fuse_file_info* fi) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto handle = fi != nullptr ? d->handles_.find(fi->fh) : d->handles_.end();
    const int rc = handle != d->handles_.end()
                       ? ::futimens(handle->second.fd, tv)
                       : ::utimensat(AT_FDCWD, d->backing(path).c_str(), tv, AT_SYMLINK_NOFOLLOW);
    return rc == 0 ? 0 : -errno;
}

int PowerCutDisk::unlink(const char* path) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const std::uint64_t file = d->fileOf(path, nullptr);
    if (file == 0)
        return -ENOENT;
    if (::unlink(d->backing(path).c_str()) != 0)
        return -errno;
    d->names_.erase(NameOf(path));
    d->record({DiskChange::Unlink, NameOf(path), {}, file, 0, {}, 0, false});
    return 0;
}

int PowerCutDisk::rename(const char* from, const char* to, unsigned int flags) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    if ((flags & ~RENAME_NOREPLACE) != 0)
        return -EINVAL;
    if (FolderOf(from) != FolderOf(to))
        return -EXDEV;
    const std::uint64_t file = d->fileOf(from, nullptr);
    if (file == 0)
        return -ENOENT;
    if (::renameat2(AT_FDCWD, d->backing(from).c_str(), AT_FDCWD, d->backing(to).c_str(), flags) !=
        0)
        return -errno;
    // Renaming a name over another name of the same file changes nothing.
    if (d->fileOf(to, nullptr) == file)
        return 0;
    d->names_.erase(NameOf(from));
    d->names_[NameOf(to)] = file;
    d->record({DiskChange::Rename, NameOf(from), NameOf(to), file, 0, {}, 0, false});
    return 0;
}

int PowerCutDisk::link(const char* from, const char* to) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    if (FolderOf(from) != FolderOf(to))
        return -EXDEV;
    const std::uint64_t file = d->fileOf(from, nullptr);
    if (file == 0)
        return -ENOENT;
    if (::link(d->backing(from).c_str(), d->backing(to).c_str()) != 0)
        return -errno;
    d->names_[NameOf(to)] = file;
    d->record({DiskChange::Link, NameOf(from), NameOf(to), file, 0, {}, 0, false});
    return 0;
}

// Recorded, not passed on: the backing folder is not the disk under test.
int PowerCutDisk::fsync(const char* path, int datasync, fuse_file_info* fi) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const std::uint64_t file = d->fileOf(path, fi);
    if (file == 0)
        return -EBADF;
    d->record({DiskChange::SyncFile, {}, {}, file, 0, {}, 0, datasync != 0});
    return 0;
}

// An open folder is known by its handle: syncs come without a path.
int PowerCutDisk::opendir(const char* path, fuse_file_info* fi) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    if (path == nullptr)
        return -ENOENT;
    fi->fh = d->nextHandle_++;
    d->folders_[fi->fh] = NameOf(path);
    return 0;
}

int PowerCutDisk::fsyncdir(const char*, int, fuse_file_info* fi) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto folder = d->folders_.find(fi->fh);
    if (folder == d->folders_.end())
        return -EBADF;
    d->record({DiskChange::SyncFolder, folder->second, {}, 0, 0, {}, 0, false});
    return 0;
}

int PowerCutDisk::releasedir(const char*, fuse_file_info* fi) {
    PowerCutDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    d->folders_.erase(fi->fh);
    return 0;
}

} // namespace vutest
