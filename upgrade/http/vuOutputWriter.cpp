#include "upgrade/http/vuOutputWriter.h"

#include "upgrade/http/vuBackgroundRelease.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vu {

TvuOutputWriter::TvuOutputWriter(std::size_t batchBytes, std::uint64_t writeBackBytes)
    : batchBytes_(std::max<std::size_t>(batchBytes, 1)), writeBackBytes_(writeBackBytes) {}

TvuOutputWriter::~TvuOutputWriter() {
    Close();
}

bool TvuOutputWriter::Open(int fd) {
    Close();
    fd_ = fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    failed_ = fd_ < 0;
    written_ = 0;
    sinceWriteBack_ = 0;
    batch_.clear();
    return fd_ >= 0;
}

void TvuOutputWriter::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    std::vector<char>().swap(batch_);
}

bool TvuOutputWriter::Append(const char* data, std::size_t n) {
    if (failed_ || fd_ < 0)
        return false;
    while (n > 0) {
        // A batch that is empty and a piece at least a batch long: straight from where it is.
        if (batch_.empty() && n >= batchBytes_) {
            const std::size_t whole = n - n % batchBytes_;
            if (!WriteAll(data, whole))
                return false;
            data += whole;
            n -= whole;
            continue;
        }
        if (batch_.capacity() < batchBytes_)
            batch_.reserve(batchBytes_);
        const std::size_t take = std::min(n, batchBytes_ - batch_.size());
        batch_.insert(batch_.end(), data, data + take);
        data += take;
        n -= take;
        if (batch_.size() == batchBytes_ && !WriteOut())
            return false;
    }
    return true;
}

bool TvuOutputWriter::WriteOut() {
    if (failed_ || fd_ < 0)
        return false;
    const bool ok = batch_.empty() || WriteAll(batch_.data(), batch_.size());
    batch_.clear();
    return ok;
}

bool TvuOutputWriter::Finish() {
    if (!WriteOut())
        return false;
    if (!Begin(true)) {
        failed_ = true;
        return false;
    }
    const bool synced = ::fsync(fd_) == 0;
    End();
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    failed_ = !(synced && closed);
    return !failed_;
}

// One checked write of n bytes, resumed after a signal or a short write; a write that stores
// nothing (a full disk) or fails ends it.
bool TvuOutputWriter::WriteAll(const char* data, std::size_t n) {
    while (n > 0) {
        if (!Begin()) {
            failed_ = true;
            return false;
        }
        const ssize_t done = ::write(fd_, data, n);
        End();
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            failed_ = true;
            return false;
        }
        written_ += static_cast<std::uint64_t>(done);
        sinceWriteBack_ += static_cast<std::uint64_t>(done);
        data += done;
        n -= static_cast<std::size_t>(done);
    }
    if (writeBackBytes_ > 0 && sinceWriteBack_ >= writeBackBytes_)
        StartWriteBack();
    return true;
}

// Asks the kernel to start writing the file's dirty pages now (without waiting for them), so
// that they go to the disk while the body still arrives. Only a hint: its failure changes
// nothing, and the final sync is what makes the file safe. Where the hint does not exist, the
// final sync does all of the writing.
void TvuOutputWriter::StartWriteBack() {
    sinceWriteBack_ = 0;
#if defined(__linux__)
    if (!Begin(true))
        return;
    ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
    End();
#endif
}

bool TvuOutputWriter::Halt() {
    int state = state_.load();
    while (true) {
        const int halted = state == Busy || state == HaltedBusy ? HaltedBusy : Halted;
        if (state_.compare_exchange_weak(state, halted))
            return halted == HaltedBusy;
    }
}

bool TvuOutputWriter::WaitUntilQuiet(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(quietLock_);
    if (state_.load() == HaltedBusy && syncing_.load())
        return false;
    return quiet_.wait_for(lock, limit, [this] { return state_.load() != HaltedBusy; });
}

bool TvuOutputWriter::Begin(bool sync) {
    syncing_.store(sync);
    int idle = Idle;
    return state_.compare_exchange_strong(idle, Busy);
}

void TvuOutputWriter::End() {
    int busy = Busy;
    if (state_.compare_exchange_strong(busy, Idle))
        return;
    // Halted meanwhile: whoever halted it may be waiting for this write or sync to end.
    {
        std::lock_guard<std::mutex> lock(quietLock_);
        state_.store(Halted);
    }
    quiet_.notify_all();
}

bool TvuOutputWriter::Remove(const QString& path) {
    return RemoveIfSame(path, 0, 0);
}

bool TvuOutputWriter::RemoveIfSame(const QString& path, dev_t device, ino_t inode) {
    // Freeing a file's blocks happens when its last descriptor closes: holding one across the
    // unlink moves that work to whoever closes it. (Not blocking: the name may be a pipe.)
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (inode != 0) {
        struct stat now {};
        const bool same =
            fd >= 0 && ::fstat(fd, &now) == 0 && now.st_dev == device && now.st_ino == inode;
        if (!same) {
            if (fd >= 0)
                ::close(fd);
            return false;
        }
    }
    const bool removed = ::unlink(name.constData()) == 0;
    if (fd < 0)
        return removed;
    constexpr off_t kLarge = 8 * 1024 * 1024;
    struct stat st {};
    if (removed && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= kLarge)
        ReleaseInBackground([fd] { ::close(fd); });
    else
        ::close(fd);
    return removed;
}

} // namespace vu
