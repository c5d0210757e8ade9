#define FUSE_USE_VERSION 31
#include "tests/upgrade/http/server/held_sync_disk.h"

#include <fuse3/fuse.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace vutest {

HeldSyncDisk::HeldSyncDisk() {
    static const fuse_operations operations = [] {
        fuse_operations o{};
        o.getattr = &HeldSyncDisk::getattr;
        o.create = &HeldSyncDisk::create;
        o.open = &HeldSyncDisk::open;
        o.read = &HeldSyncDisk::read;
        o.write = &HeldSyncDisk::write;
        o.truncate = &HeldSyncDisk::truncate;
        o.unlink = &HeldSyncDisk::unlink;
        o.rename = &HeldSyncDisk::rename;
        o.fsync = &HeldSyncDisk::fsync;
        o.chmod = &HeldSyncDisk::chmod;
        o.utimens = &HeldSyncDisk::utimens;
        o.release = &HeldSyncDisk::release;
        return o;
    }();
    // Several requests at a time: a held sync must not keep the others waiting.
    mount_.mount(operations, this, "held-sync", FuseMount::Serving::Concurrently);
}

HeldSyncDisk::~HeldSyncDisk() {
    releaseSyncs();
    mount_.unmount();
}

bool HeldSyncDisk::waitForHeldSync(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, timeout, [this] { return syncsHeld_ > 0; });
}

std::string HeldSyncDisk::heldSyncOf() const {
    std::lock_guard<std::mutex> guard(lock_);
    return firstHeld_;
}

void HeldSyncDisk::releaseSyncs() {
    std::lock_guard<std::mutex> guard(lock_);
    released_ = true;
    changed_.notify_all();
}

bool HeldSyncDisk::holds(const std::string& name) const {
    std::lock_guard<std::mutex> guard(lock_);
    return files_.count("/" + name) > 0;
}

HeldSyncDisk* HeldSyncDisk::self() {
    return static_cast<HeldSyncDisk*>(fuse_get_context()->private_data);
}

int HeldSyncDisk::getattr(const char* path, struct stat* st, fuse_file_info* fi) {
    std::memset(st, 0, sizeof *st);
    if (path != nullptr && std::strcmp(path, "/") == 0) {
        st->st_mode = S_IFDIR | 0755;
        st->st_nlink = 2;
        return 0;
    }
    HeldSyncDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto node = d->nodeOf(path, fi);
    if (!node)
        return -ENOENT;
    st->st_mode = node->mode;
    st->st_nlink = 1;
    st->st_size = static_cast<off_t>(node->data.size());
    return 0;
}

int HeldSyncDisk::create(const char* path, mode_t mode, fuse_file_info* fi) {
    HeldSyncDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    auto& node = d->files_[path];
    if (!node)
        node = std::make_shared<Node>();
    node->mode = S_IFREG | (mode & 07777);
    node->name = path + 1;
    fi->fh = d->nextHandle_++;
    d->open_[fi->fh] = node;
    return 0;
}

int HeldSyncDisk::open(const char* path, fuse_file_info* fi) {
    HeldSyncDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto it = d->files_.find(path);
    if (it == d->files_.end())
        return -ENOENT;
    fi->fh = d->nextHandle_++;
    d->open_[fi->fh] = it->second;
    return 0;
}

int HeldSyncDisk::release(const char*, fuse_file_info* fi) {
    HeldSyncDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    d->open_.erase(fi->fh);
    return 0;
}

std::shared_ptr<HeldSyncDisk::Node> HeldSyncDisk::opened(const fuse_file_info* fi) const {
    const auto it = fi != nullptr ? open_.find(fi->fh) : open_.end();
    return it != open_.end() ? it->second : nullptr;
}

std::shared_ptr<HeldSyncDisk::Node> HeldSyncDisk::nodeOf(const char* path,
                                                         const fuse_file_info* fi) const {
    if (auto node = opened(fi))
        return node;
    const auto it = path != nullptr ? files_.find(path) : files_.end();
    return it != files_.end() ? it->second : nullptr;
}

int HeldSyncDisk::read(const char*, char* buf, size_t size, off_t offset, fuse_file_info* fi) {
    HeldSyncDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto node = d->opened(fi);
    if (!node)
        return -EBADF;
    const std::string& data = node->data;
    if (offset >= static_cast<off_t>(data.size()))
        return 0;
    const size_t n = std::min(size, data.size() - static_cast<size_t>(offset));
    std::memcpy(buf, data.data() + offset, n);
    return static_cast<int>(n);
}

int HeldSyncDisk::write(const char*, const char* buf, size_t size, off_t offset,
                        fuse_file_info* fi) {
    HeldSyncDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto node = d->opened(fi);
    if (!node)
        return -EBADF;
    std::string& data = node->data;
    if (data.size() < static_cast<size_t>(offset) + size)
        data.resize(static_cast<size_t>(offset) + size);
    std::memcpy(data.data() + offset, buf, size);
    return static_cast<int>(size);
}

int HeldSyncDisk::changeNode(const char* path, fuse_file_info* fi,
                             const std::function<void(Node&)>& change) {
    HeldSyncDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto node = d->nodeOf(path, fi);
    if (!node)
        return -ENOENT;
    change(*node);
    return 0;
}

int HeldSyncDisk::truncate(const char* path, off_t size, fuse_file_info* fi) {
    return changeNode(path, fi,
                      [size](Node& node) { node.data.resize(static_cast<size_t>(size)); });
}

int HeldSyncDisk::unlink(const char* path) {
    HeldSyncDisk* d = self();
    if (path == nullptr)
        return -ENOENT;
    std::lock_guard<std::mutex> guard(d->lock_);
    return d->files_.erase(path) ? 0 : -ENOENT;
}

int HeldSyncDisk::rename(const char* from, const char* to, unsigned int flags) {
    HeldSyncDisk* d = self();
    std::lock_guard<std::mutex> guard(d->lock_);
    const auto it = d->files_.find(from);
    if (it == d->files_.end())
        return -ENOENT;
    if ((flags & RENAME_NOREPLACE) != 0 && d->files_.count(to) != 0)
        return -EEXIST;
    auto node = it->second;
    d->files_.erase(it);
    node->name = to + 1;
    d->files_[to] = node;
    return 0;
}

// Held until release(): the caller stays inside its fsync meanwhile.
int HeldSyncDisk::fsync(const char*, int, fuse_file_info* fi) {
    HeldSyncDisk* d = self();
    std::unique_lock<std::mutex> guard(d->lock_);
    const auto node = d->opened(fi);
    if (d->firstHeld_.empty() && !d->released_ && node)
        d->firstHeld_ = node->name;
    ++d->syncsHeld_;
    d->changed_.notify_all();
    d->changed_.wait(guard, [d] { return d->released_; });
    --d->syncsHeld_;
    return 0;
}

int HeldSyncDisk::chmod(const char* path, mode_t mode, fuse_file_info* fi) {
    return changeNode(path, fi,
                      [mode](Node& node) { node.mode = (node.mode & S_IFMT) | (mode & 07777); });
}

int HeldSyncDisk::utimens(const char*, const struct timespec*, fuse_file_info*) {
    return 0;
}

} // namespace vutest
