#include "upgrade/http/vuBodySink.h"

#include "upgrade/http/vuBackgroundRelease.h"

#include <algorithm>

#include <sys/mman.h>
#include <sys/stat.h>

namespace vu {

namespace {

// A memory stream is sized in advance to an announced length up to this much; beyond, it grows
// as the body arrives (an announced length is the server's word, not a promise).
constexpr quint64 kMaxPresize = 512u * 1024u * 1024u;
// Memory from this size on is given back in the background.
constexpr qsizetype kLargeMemory = 8 * 1024 * 1024;

// A large body in memory is filled page by page as it arrives; asking for large pages where the
// system offers them on request saves most of the page faults (a hint: nothing changes without).
void AdviseLargePages(char* data, size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kLarge = 2u * 1024u * 1024u;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kLarge - 1) & ~(kLarge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kLarge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

} // namespace

TvuMemorySink::TvuMemorySink(quint64 presize) {
    QByteArray& bytes = buffer_.buffer();
    if (presize > 0) {
        bytes.reserve(static_cast<qsizetype>(std::min(presize, kMaxPresize)));
        AdviseLargePages(bytes.data(), static_cast<size_t>(bytes.capacity()));
    }
    buffer_.open(QIODevice::ReadWrite);
}

// The events' handlers may have moved the stream's position: the bytes go to its end.
bool TvuMemorySink::Append(const char* data, std::size_t n) {
    QByteArray& bytes = buffer_.buffer();
    bytes.append(data, static_cast<qsizetype>(n));
    buffer_.seek(bytes.size());
    return true;
}

bool TvuMemorySink::Close() {
    buffer_.close();
    QByteArray bytes = std::move(buffer_.buffer());
    buffer_.setData(QByteArray());
    if (bytes.capacity() >= kLargeMemory)
        ReleaseInBackground([b = std::move(bytes)]() mutable { b = QByteArray(); });
    return true;
}

std::unique_ptr<TvuFileSink> TvuFileSink::Create(const QString& path, bool hidden) {
    std::unique_ptr<TvuFileSink> sink(new TvuFileSink(path));
    QFileDevice::Permissions mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!hidden)
        mode |= QFileDevice::ReadGroup | QFileDevice::ReadOther;
    // Unbuffered: every write reaches the file at once, so a full disk or a failing device shows
    // in the write that met it and not in a flush at close nobody checks.
    if (!sink->file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered,
                          mode) ||
        !sink->Opened(0))
        return nullptr;
    return sink;
}

std::unique_ptr<TvuFileSink> TvuFileSink::Continue(const QString& path, quint64 from) {
    std::unique_ptr<TvuFileSink> sink(new TvuFileSink(path));
    QFile& file = sink->file_;
    const auto at = static_cast<qint64>(from);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered) ||
        file.size() < at || !file.resize(at) || !file.seek(at) || !sink->Opened(from))
        return nullptr;
    return sink;
}

bool TvuFileSink::Opened(quint64 from) {
    from_ = from;
    struct stat st {};
    if (::fstat(file_.handle(), &st) == 0) {
        device_ = st.st_dev;
        inode_ = st.st_ino;
    }
    return writer_.Open(file_.handle());
}

bool TvuFileSink::Close() {
    if (!file_.isOpen())
        return true;
    file_.close();
    return file_.error() == QFileDevice::NoError;
}

bool TvuFileSink::Halt(std::chrono::milliseconds wait) {
    return writer_.Halt() && !writer_.WaitUntilQuiet(wait);
}

bool TvuFileSink::Remove() const {
    return inode_ != 0 ? TvuOutputWriter::RemoveIfSame(Path(), device_, inode_)
                       : TvuOutputWriter::Remove(Path());
}

} // namespace vu
