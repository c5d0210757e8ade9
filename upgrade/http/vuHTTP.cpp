#include "upgrade/http/vuHTTP.h"

#include "upgrade/http/vuCurlRequest.h"
#include "upgrade/http/vuHTTPStatus.h"
#include "upgrade/http/vuOutputWriter.h"
#include "upgrade/http/vuProxyAddress.h"
#include "upgrade/http/vuResumeRecord.h"
#include "upgrade/http/vuTransferStatistics.h"
#include "upgrade/http/vuURLParts.h"
#include "upgrade/utils/vuUtils.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vu {

namespace {

using Clock = std::chrono::steady_clock;

// A memory stream is sized in advance to an announced length up to this much; beyond, it grows
// as the body arrives (an announced length is the server's word, not a promise).
constexpr quint32 MaxPresize = 512u * 1024u * 1024u;
// The error page of a 401 or 407 answer is kept while the owner is asked for credentials, up to
// this much.
constexpr qsizetype MaxHeldBody = 1024 * 1024;
// Memory streams from this size on are freed on a helper thread.
constexpr qsizetype LargeMemory = 8 * 1024 * 1024;
// Progress events reach the GUI thread in batches: a new batch is handed over at most this often,
// unless the queue is full and the GUI thread has taken the last batch already.
constexpr auto HandOverInterval = std::chrono::milliseconds(16);
// The GUI thread delivers queued events for at most this long at a time, then lets its event
// loop run (the rest follows with the next hand-over).
constexpr auto DeliveryBudget = std::chrono::milliseconds(8);
// The most events waiting for the GUI thread to take them; a worker that gets this far ahead
// waits. (The GUI thread may still hold as many again that it took and has not raised yet.)
constexpr size_t MaxQueuedEvents = 16384;
// While events cost less than this each, the delivery looks at the clock only every
// FastEventsPerCheck events (reading it costs about as much as a cheap handler).
constexpr auto FastEvent = std::chrono::microseconds(1);
constexpr size_t FastEventsPerCheck = 16;
// A delivery that finds the worker holding the data tries again after this long.
constexpr auto RetryDelivery = std::chrono::milliseconds(2);

// A large body in memory is filled page by page as it arrives; asking for large pages where the
// system offers them on request saves most of the page faults (a hint: nothing changes without).
void AdviseLargePages(char* data, size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t Large = 2u * 1024u * 1024u;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + Large - 1) & ~(Large - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(Large - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

// How long Abort waits for a write or sync of the output file in progress to end (a write to
// the page cache takes microseconds) before it leaves closing and removing the file to a helper
// thread.
constexpr auto QuietWait = std::chrono::milliseconds(4);

// Closes an output file and, when `path` is given, removes it and its resume record, on a helper
// thread: for when the worker is inside a write or sync of the file, which holds every removal
// of it (and on some file systems every close) until the disk is done. By then the name may
// belong to a new download: only the file this was is removed.
void DiscardOutputElsewhere(std::unique_ptr<QIODevice> file, const QString& path) {
    std::thread([file = std::move(file), path]() mutable {
        struct stat st {};
        const auto* device = dynamic_cast<QFileDevice*>(file.get());
        const bool known = device != nullptr && ::fstat(device->handle(), &st) == 0;
        file.reset();
        if (!path.isEmpty() && known && TvuOutputWriter::RemoveIfSame(path, st.st_dev, st.st_ino))
            TvuResumeRecord::Remove(path);
    }).detach();
}

} // namespace

namespace detail {

struct HTTPTransfer final : TvuCurlRequestListener, std::enable_shared_from_this<HTTPTransfer> {
    // The component, while the transfer belongs to it. The worker raises its worker-thread
    // events under OwnerLock; the GUI thread clears Owner under it when it lets the transfer go.
    TvuCustomHTTP* Owner = nullptr;
    std::mutex OwnerLock;
    std::atomic<bool> Stop{false};

    // Settings, taken when the transfer starts.
    QByteArray URL, UserAgent, Accept, CAFile, Username, Password, ProxyUsername, ProxyPassword;
    QByteArrayList Extra;
    QString OutputFile;
    bool HideOutputFile = false;
    TvuHTTPRange Range;
    TvuHTTPTimeouts Timeouts;
    TvuTransferLimits Limits;
    qint32 BufferSize = 4096;
    TvuHTTPProxy Proxy;
    bool CacheAllowed = true;
    bool WantHeaders = false, WantProgress = false, WantAuth = false, WantProxyAuth = false;
    bool RangeRequested = false;
    bool ResumeOutput = false;

    // Resuming a broken download: the bytes of the partial file asked to be skipped, the
    // validator they were received with, whether the answer continues them (206), whether the
    // request must be sent again without them (416, or a 206 that does not fit), whether the
    // output file may be continued by a later attempt and under which validator, and whether
    // a record for the next attempt stands beside the output file.
    quint64 ResumeFrom = 0;
    QByteArray ResumeValidator;
    QByteArray NewValidator;
    bool Resumed = false;
    bool StartOver = false;
    bool Resumable = false;
    QByteArray KeptValidator;
    bool RecordKept = false;

    // The status of a complete answer: 200, or 206 to a range request or a resumed download.
    bool WholeAnswer() const {
        return StatusCode == 200 || ((RangeRequested || Resumed) && StatusCode == 206);
    }
    // Whether a broken download keeps its partial file for the next attempt.
    bool KeepsPartial() const { return RecordKept && WholeAnswer() && BytesRead > 0; }

    // State.
    qint32 StatusCode = -1;
    bool Success = false;
    bool Continue = true;
    bool TryAgain = false;
    QByteArray RawHeaders, ContentType, ContentLanguage, ContentEncoding, Location;
    TDateTime Date = 0, LastModified = 0, Expires = 0;
    quint32 ContentLength = 0;
    bool LengthAnnounced = false;
    quint32 BytesRead = 0;
    TvuTransferStatistics Stats;
    Clock::time_point Start;
    // Set when the worker is done with the transfer (its fields are then the GUI thread's).
    std::atomic<bool> Finished{false};

    // Progress events on their way to the GUI thread, in order. The worker appends the events
    // of each write to Queue under QueueLock; the GUI thread takes the whole queue at once
    // (swapping it with its emptied Batch) and raises the events from there without a lock.
    // The vectors keep their capacity, so a running transfer allocates nothing per event.
    struct ProgressEvent {
        quint32 BytesRead = 0;
        TvuTransferStatistics Stats;
    };
    std::mutex QueueLock;
    std::condition_variable QueueChanged;
    std::vector<ProgressEvent> Queue; // guarded by QueueLock
    bool DeliveryPosted = false;      // a delivery is posted or scheduled (QueueLock)
    bool BatchLeft = false; // the GUI thread holds events it has not raised yet (QueueLock)
    std::vector<ProgressEvent> Batch; // GUI thread: taken from Queue, raised up to Taken
    size_t Taken = 0;
    Clock::time_point LastHandOver; // GUI thread
    // GUI thread: the event being (or last) delivered; what the component shows while the
    // worker runs ahead.
    ProgressEvent Shown;

    // Data and the transfer buffer, guarded by DataLock (the worker writes, the GUI thread may
    // release them at any time through Abort). The GUI thread holds it while it delivers
    // progress events, so that their handlers may read Data; recursive, so that such a handler
    // may abort.
    std::recursive_mutex DataLock;
    std::unique_ptr<QIODevice> Data;
    QByteArray* Memory = nullptr; // the bytes of a memory stream
    bool DataIsFile = false;
    std::atomic<bool> Released{false};

    // An output file is written by the worker through its own writer, without DataLock, so that
    // the GUI thread never waits for a write or the final sync. BytesRead counts what reached
    // the file (from StoredFrom on, the bytes a resumed file already held). The chunks of this
    // transfer's body end every BufferSize bytes counted in the writer's bytes, NextChunkEnd
    // being the next one to report, and LastChunkEnd the end of a shorter last chunk (0 while
    // the body goes on); a chunk's event waits until its end has been written.
    TvuOutputWriter Writer;
    quint64 StoredFrom = 0;
    quint64 NextChunkEnd = 0;
    quint64 LastChunkEnd = 0;
    std::vector<ProgressEvent> Stored; // the events of one write, queued together

    // The transfer buffer: worker-owned, a chunk being collected.
    std::vector<char> Chunk;
    size_t Pending = 0;

    std::mutex RequestLock;
    std::shared_ptr<TvuCurlRequest> Request;

    bool Holding = false;
    QByteArray Held;
    bool OutputFailed = false;
    bool WriteFailed = false;
    bool TooLarge = false;          // the body exceeded Limits.MaxBodySize
    TvuTransferFailure Failure;     // why the request got no answer or broke off
    bool Aborted = false;           // GUI thread: the owner aborted it
    bool CompletionStarted = false; // GUI thread

    void Run();
    void Transfer();

    // The steps of Transfer, in order.
    enum class FetchResult { Body, Ended, StartOver };
    void BeginRun();
    bool ReadLocalFile(const TvuURLParts& url);
    FetchResult FetchFromServer(const TvuURLParts& url, TvuCurlRequest::Outcome& outcome);
    TvuCurlRequestOptions RequestOptions(const TvuURLParts& url, const QByteArray& range) const;
    bool SendAskingCredentials(TvuCurlRequest& request, TvuCurlRequest::Outcome& outcome);
    void AskForCredentials(TvuCurlRequest& request);
    void ReadHeldAnswer(TvuCurlRequest::Outcome& outcome);
    void JudgeBody(TvuCurlRequest::Outcome outcome);

    // Runs f on the GUI thread while the worker waits; nothing once the transfer is let go.
    template <typename F> void Sync(F f) {
        if (Stop.load())
            return;
        TvuEventThread::SynchronizeCurrent([this, &f] {
            if (Owner != nullptr && !Stop.load())
                f(*Owner);
        });
    }

    void Status(quint32 code, const QByteArray& info) override {
        std::lock_guard<std::mutex> guard(OwnerLock);
        if (Owner == nullptr || Stop.load())
            return;
        Owner->DoStatus(code, HTTPStatusText(code));
        if (code == vuStatusRedirect)
            Owner->DoRedirected(info);
    }

    bool HeadersIn() override;
    bool Body(const char* data, size_t size) override;
    bool Idle() override;

    bool AfterHeaders();
    bool ContinuesPartial();
    void PrepareResume();
    bool CreateOutput();
    bool Store(const char* data, size_t size);
    bool StoreQuietly(const char* data, size_t size);
    bool StoreInFile(const char* data, size_t size);
    bool Flush();
    bool Emit(const char* data, size_t size);
    bool Write(const char* data, size_t n);
    bool OpenWriter(QFile& file, quint64 storedFrom);
    void KeepForResume();
    bool ReportStored();
    bool FinishOutput();
    // The body could not be stored: no output file could be made, or a write failed.
    bool StorageFailed() const { return OutputFailed || WriteFailed; }
    bool WithinLimit(quint64 more);
    bool QueueProgress(const ProgressEvent* events, size_t count);
    void DeliverProgress(bool final);
    void ScheduleDelivery(Clock::duration delay);
    void FlushProgress();
    void Abort() {
        Stop.store(true);
        {
            std::lock_guard<std::mutex> guard(QueueLock);
            QueueChanged.notify_all();
        }
        std::lock_guard<std::mutex> guard(RequestLock);
        if (Request)
            Request->Abort();
    }
    void Detach() {
        std::lock_guard<std::mutex> guard(OwnerLock);
        Owner = nullptr;
    }
    // Returns whether the data was an output file. With `keepFile`, an output file is handed
    // over there instead of being closed here.
    bool ReleaseData(std::unique_ptr<QIODevice>* keepFile = nullptr) {
        std::unique_ptr<QIODevice> data;
        bool file = false;
        {
            std::lock_guard<std::recursive_mutex> guard(DataLock);
            file = DataIsFile && Data != nullptr;
            Released = true;
            data = std::move(Data);
            if (!DataIsFile && Memory != nullptr && Memory->capacity() >= LargeMemory) {
                // Giving a large body back to the system takes milliseconds: not on the GUI
                // thread, whose event loop would stall meanwhile.
                std::thread([d = std::move(data)]() mutable { d.reset(); }).detach();
            }
            Memory = nullptr;
        }
        if (file && keepFile != nullptr)
            *keepFile = std::move(data);
        data.reset(); // closes an output file
        return file;
    }
};

bool HTTPTransfer::HeadersIn() {
    StatusCode = Request->StatusCode();
    if ((StatusCode == 401 && WantAuth) || (StatusCode == 407 && WantProxyAuth)) {
        Holding = true;
        Held.clear();
        return true;
    }
    return AfterHeaders();
}

bool HTTPTransfer::AfterHeaders() {
    QByteArray value;
    if (Request->Query("Content-Type", value))
        ContentType = value;
    ContentLength = 0;
    LengthAnnounced = false;
    if (Request->Query("Content-Length", value)) {
        bool ok = false;
        const qulonglong length = value.trimmed().toULongLong(&ok);
        // A length beyond 32 bits cannot be counted against: it is treated as not announced.
        if (ok && length <= 0xFFFFFFFFull) {
            ContentLength = static_cast<quint32>(length);
            LengthAnnounced = true;
        }
    }
    if (ResumeFrom > 0 && !ContinuesPartial())
        return false;
    if (ResumeOutput)
        NewValidator = TvuResumeRecord::ValidatorOf(
            Request->Query("ETag", value) ? value : QByteArray(),
            Request->Query("Last-Modified", value) ? value : QByteArray());
    if (WantHeaders) {
        RawHeaders = Request->RawHeaders();
        auto text = [&](const char* name) {
            QByteArray v;
            return Request->Query(name, v) ? v : QByteArray();
        };
        auto date = [&](const char* name) {
            QByteArray v;
            return Request->Query(name, v) ? ParseHTTPDate(v) : TDateTime(0);
        };
        ContentLanguage = text("Content-Language");
        ContentEncoding = text("Content-Encoding");
        Location = text("Location");
        Date = date("Date");
        LastModified = date("Last-Modified");
        Expires = date("Expires");
        Sync([this](TvuCustomHTTP& o) { o.DoHeaderInfo(Continue); });
    }
    if (Stop.load() || !Continue)
        return false;
    // A body announced beyond the limit is not read at all.
    if (LengthAnnounced && !WithinLimit(ContentLength))
        return false;
    return CreateOutput();
}

// The answer to a request for the rest of a partial file: 206 with the range asked for goes on
// from there, and the transfer counts the whole file (ContentLength, BytesRead); 416 or a range
// that does not fit means starting over; anything else (200: the file changed) replaces the file.
bool HTTPTransfer::ContinuesPartial() {
    if (StatusCode == 206) {
        QByteArray range;
        Request->Query("Content-Range", range);
        // "bytes FIRST-LAST/TOTAL", TOTAL possibly "*".
        const QByteArray contentRange = range.trimmed();
        const qsizetype dash = contentRange.indexOf('-');
        const qsizetype slash = contentRange.indexOf('/');
        bool okFirst = false, okLast = false, okTotal = false;
        const quint64 first = contentRange.startsWith("bytes ") && dash > 6
                                  ? contentRange.mid(6, dash - 6).toULongLong(&okFirst)
                                  : 0;
        const quint64 last =
            slash > dash ? contentRange.mid(dash + 1, slash - dash - 1).toULongLong(&okLast) : 0;
        const quint64 total = slash > 0 ? contentRange.mid(slash + 1).toULongLong(&okTotal) : 0;
        if (!okFirst || !okLast || first != ResumeFrom || last < first ||
            (okTotal && total != last + 1) || last + 1 > 0xFFFFFFFFull) {
            StartOver = true;
            return false;
        }
        Resumed = true;
        ContentLength = static_cast<quint32>(last + 1);
        LengthAnnounced = true;
        BytesRead = static_cast<quint32>(ResumeFrom);
        return true;
    }
    if (StatusCode == 416) {
        StartOver = true;
        return false;
    }
    ResumeFrom = 0;
    return true;
}

// Before the first request: a partial file of the same address with its validator is continued;
// any other record is stale.
void HTTPTransfer::PrepareResume() {
    ResumeFrom = 0;
    if (!ResumeOutput || OutputFile.isEmpty() || RangeRequested)
        return;
    TvuResumeRecord record;
    const qint64 size = QFileInfo(OutputFile).size();
    if (TvuResumeRecord::Read(OutputFile, record) && record.URL == URL && size > 0 &&
        size < 0xFFFFFFFFll) {
        ResumeFrom = static_cast<quint64>(size);
        ResumeValidator = record.Validator;
    } else {
        TvuResumeRecord::Remove(OutputFile);
    }
}

bool HTTPTransfer::CreateOutput() {
    if (!OutputFile.isEmpty() && Resumed) {
        {
            std::lock_guard<std::recursive_mutex> guard(DataLock);
            if (Released || Stop.load())
                return false;
            auto file = std::make_unique<QFile>(OutputFile);
            if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered) ||
                file->size() < static_cast<qint64>(ResumeFrom) ||
                !file->resize(static_cast<qint64>(ResumeFrom)) ||
                !file->seek(static_cast<qint64>(ResumeFrom)) || !OpenWriter(*file, ResumeFrom)) {
                StartOver = true; // the partial file is not what it was
                return false;
            }
            Data = std::move(file);
            DataIsFile = true;
        }
        // The bytes that follow are not on the disk yet: the record goes until they are.
        Resumable = true;
        KeptValidator = ResumeValidator;
        TvuResumeRecord::Remove(OutputFile);
        return !Stop.load();
    }
    if (!OutputFile.isEmpty()) {
        // Removing an earlier (possibly large) file takes a while: not while the GUI thread may
        // be waiting for the data.
        QFile::remove(OutputFile);
        {
            std::lock_guard<std::recursive_mutex> guard(DataLock);
            if (Released || Stop.load())
                return false;
            auto file = std::make_unique<QFile>(OutputFile);
            QFileDevice::Permissions mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
            if (!HideOutputFile)
                mode |= QFileDevice::ReadGroup | QFileDevice::ReadOther;
            // Unbuffered: every write reaches the file at once, so a full disk or a failing
            // device shows in the write that met it and not in a flush at close nobody checks.
            if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered,
                            mode) ||
                !OpenWriter(*file, 0)) {
                // A body meant for a file never falls back into memory: the caller would take a
                // memory stream for a stored file. The completion finds no data and reports a
                // failure.
                OutputFailed = true;
                return false;
            }
            Data = std::move(file);
            DataIsFile = true;
        }
        // Whether the next attempt may go on from where this one breaks; its record is written
        // only once the partial data is on the disk (KeepForResume). An older one goes now.
        Resumable = ResumeOutput && StatusCode == 200 && !RangeRequested && !NewValidator.isEmpty();
        KeptValidator = NewValidator;
        TvuResumeRecord::Remove(OutputFile);
        return !Stop.load();
    }
    std::lock_guard<std::recursive_mutex> guard(DataLock);
    if (Released || Stop.load())
        return false;
    auto buffer = std::make_unique<QBuffer>();
    Memory = &buffer->buffer();
    if (LengthAnnounced) {
        Memory->reserve(static_cast<qsizetype>(std::min(ContentLength, MaxPresize)));
        AdviseLargePages(Memory->data(), static_cast<size_t>(Memory->capacity()));
    }
    buffer->open(QIODevice::ReadWrite);
    Data = std::move(buffer);
    DataIsFile = false;
    return true;
}

// The worker's writer on the output file just opened (DataLock held).
bool HTTPTransfer::OpenWriter(QFile& file, quint64 storedFrom) {
    StoredFrom = storedFrom;
    NextChunkEnd = static_cast<quint64>(BufferSize);
    LastChunkEnd = 0;
    return Writer.Open(file.handle());
}

// Collects the body in chunks of TransferBufferSize bytes, as a read of that size returns them:
// every full chunk (and the last, shorter one, through Flush) is stored and reported. Whole
// chunks of the incoming data are stored from where they are; only remainders are copied.
bool HTTPTransfer::Store(const char* data, size_t size) {
    if (!WithinLimit(size))
        return false;
    if (DataIsFile)
        return StoreInFile(data, size);
    const size_t chunk = static_cast<size_t>(BufferSize);
    if (!WantProgress)
        return StoreQuietly(data, size);
    while (size > 0) {
        if (Pending == 0 && size >= chunk) {
            if (!Emit(data, chunk))
                return false;
            data += chunk;
            size -= chunk;
            continue;
        }
        if (Chunk.size() != chunk)
            Chunk.resize(chunk);
        const size_t n = std::min(size, chunk - Pending);
        std::memcpy(Chunk.data() + Pending, data, n);
        Pending += n;
        data += n;
        size -= n;
        if (Pending == chunk) {
            Pending = 0;
            if (!Emit(Chunk.data(), chunk))
                return false;
        }
    }
    return true;
}

// Without a progress handler nobody waits for a chunk: the whole piece is stored in its chunks
// under one lock, a memory stream's straight into its (pre-sized) bytes.
bool HTTPTransfer::StoreQuietly(const char* data, size_t size) {
    const size_t chunk = static_cast<size_t>(BufferSize);
    std::lock_guard<std::recursive_mutex> guard(DataLock);
    if (Released || Stop.load() || !Data)
        return false;
    const bool memory = Memory != nullptr;
    if (memory && Data->pos() != Memory->size())
        Data->seek(Memory->size());
    bool ok = true;
    while (size > 0) {
        const size_t n = std::min(size, chunk);
        if (memory) {
            Memory->append(data, static_cast<qsizetype>(n));
        } else if (!Write(data, n)) {
            ok = false;
            break;
        }
        BytesRead += static_cast<quint32>(n);
        data += n;
        size -= n;
    }
    if (memory)
        Data->seek(Memory->size());
    return ok;
}

// A file's body goes to the writer as it comes, whatever the chunk size. The chunks are still
// counted from the first byte of the body, one event each, but an event is queued only once
// its bytes have reached the file.
bool HTTPTransfer::StoreInFile(const char* data, size_t size) {
    if (Released || Stop.load())
        return false;
    const bool ok = Writer.Append(data, size);
    if (!ok)
        WriteFailed = true;
    return ReportStored() && ok;
}

// Brings BytesRead to what has reached the file and queues the events of the chunks stored in
// full, each with its own figures.
bool HTTPTransfer::ReportStored() {
    const quint64 written = Writer.Written();
    BytesRead = static_cast<quint32>(StoredFrom + written);
    if (!WantProgress)
        return true;
    const bool last = LastChunkEnd != 0 && LastChunkEnd <= written;
    if (NextChunkEnd > written && !last)
        return true;
    const auto ms = static_cast<quint32>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start).count());
    Stored.clear();
    auto add = [&](quint64 end) {
        const auto bytes = static_cast<quint32>(StoredFrom + end);
        Stats = ComputeTransferStatistics(ContentLength, bytes, ms);
        Stored.push_back({bytes, Stats});
    };
    for (; NextChunkEnd <= written; NextChunkEnd += static_cast<quint64>(BufferSize))
        add(NextChunkEnd);
    if (last) {
        add(LastChunkEnd);
        LastChunkEnd = 0;
    }
    return QueueProgress(Stored.data(), Stored.size());
}

// The end of the body: the last, shorter chunk, and for a file what the writer still holds.
bool HTTPTransfer::Flush() {
    if (!DataIsFile) {
        const size_t n = Pending;
        Pending = 0;
        return n == 0 || Emit(Chunk.data(), n);
    }
    if (Released || Stop.load() || !Writer.IsOpen())
        return false;
    const quint64 received = Writer.Written() + Writer.Collected();
    if (received % static_cast<quint64>(BufferSize) != 0)
        LastChunkEnd = received;
    const bool ok = Writer.WriteOut();
    if (!ok)
        WriteFailed = true;
    return ReportStored() && ok;
}

// A memory stream's chunk: stored, then its event queued.
bool HTTPTransfer::Emit(const char* data, size_t n) {
    {
        std::lock_guard<std::recursive_mutex> guard(DataLock);
        if (Released || Stop.load() || !Data)
            return false;
        if (!Write(data, n))
            return false;
    }
    BytesRead += static_cast<quint32>(n);
    if (WantProgress) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start).count();
        Stats = ComputeTransferStatistics(ContentLength, BytesRead, static_cast<quint32>(ms));
        const ProgressEvent event{BytesRead, Stats};
        return QueueProgress(&event, 1);
    }
    return true;
}

// Whether `more` body bytes still fit under the size limit (counting what has been received).
bool HTTPTransfer::WithinLimit(quint64 more) {
    const quint64 received = BytesRead + Pending + Writer.Collected();
    if (Limits.MaxBodySize == 0 || received + more <= Limits.MaxBodySize)
        return true;
    TooLarge = true;
    return false;
}

// Queues the events of chunks just stored (one lock for all of them) and asks the GUI thread for
// a delivery unless one is on its way; waits only while the GUI thread is MaxQueuedEvents behind.
bool HTTPTransfer::QueueProgress(const ProgressEvent* events, size_t count) {
    std::unique_lock<std::mutex> lock(QueueLock);
    Queue.insert(Queue.end(), events, events + count);
    if (!DeliveryPosted) {
        DeliveryPosted = true;
        lock.unlock();
        TvuEventThread::PostCurrent([self = shared_from_this()] { self->DeliverProgress(false); });
        lock.lock();
    }
    if (Queue.size() >= MaxQueuedEvents)
        QueueChanged.wait(lock, [this] { return Queue.size() < MaxQueuedEvents || Stop.load(); });
    return !Stop.load();
}

// GUI thread: raises the queued progress events in order, at most once per HandOverInterval
// (unless `final`: the worker waits for it) and for at most DeliveryBudget at a time. While
// events keep coming, the next delivery follows one interval later (one wake-up per interval,
// whatever the number of chunks); once a delivery finds nothing, the next chunk asks for one
// again. A handler that aborts ends the delivery at its event.
void HTTPTransfer::DeliverProgress(bool final) {
    const auto now = Clock::now();
    if (!final && now - LastHandOver < HandOverInterval) {
        ScheduleDelivery(HandOverInterval - (now - LastHandOver));
        return;
    }
    size_t delivered = 0;
    {
        // The worker may hold the data for long (a write to a slow disk, the final sync): the
        // GUI thread comes back shortly instead of waiting for it. At the end the worker waits
        // for this delivery and holds nothing.
        std::unique_lock<std::recursive_mutex> data(DataLock, std::try_to_lock);
        if (!data.owns_lock()) {
            if (!final) {
                ScheduleDelivery(RetryDelivery);
                return;
            }
            data.lock();
        }
        const auto deadline = now + DeliveryBudget;
        auto lastCheck = now;
        size_t perCheck = 1, sinceCheck = 0;
        bool outOfTime = false;
        while (Owner != nullptr && !Stop.load() && !outOfTime) {
            if (Taken == Batch.size()) {
                // Takes everything queued so far under one lock. Nor does it wait for the
                // queue: a worker preempted while it adds to it may not run again for a while
                // on a busy machine.
                std::unique_lock<std::mutex> lock(QueueLock, std::defer_lock);
                if (final)
                    lock.lock();
                else if (!lock.try_lock())
                    break;
                Batch.clear();
                Taken = 0;
                Batch.swap(Queue);
                BatchLeft = !Batch.empty();
                QueueChanged.notify_all(); // a worker waiting for room has it now
                if (Batch.empty())
                    break;
            }
            while (Taken < Batch.size()) {
                Shown = Batch[Taken++];
                ++delivered;
                Owner->DoTransferProgress(Data.get());
                if (Owner == nullptr || Stop.load())
                    break;
                if (++sinceCheck < perCheck)
                    continue;
                const auto t = Clock::now();
                if (t >= deadline) {
                    outOfTime = true;
                    break;
                }
                perCheck = t - lastCheck < FastEvent * sinceCheck ? FastEventsPerCheck : 1;
                sinceCheck = 0;
                lastCheck = t;
            }
        }
        if (delivered > 0)
            LastHandOver = now;
    }
    std::unique_lock<std::mutex> lock(QueueLock, std::defer_lock);
    if (final) {
        lock.lock();
    } else if (!lock.try_lock()) {
        ScheduleDelivery(RetryDelivery);
        return;
    }
    if (Owner == nullptr || Stop.load()) {
        Queue.clear();
        Batch.clear();
        Taken = 0;
        QueueChanged.notify_all();
    }
    BatchLeft = Taken < Batch.size();
    const bool left = BatchLeft || !Queue.empty();
    if (final) {
        DeliveryPosted = left;
        return;
    }
    DeliveryPosted = left || delivered > 0;
    if (!DeliveryPosted)
        return;
    lock.unlock();
    ScheduleDelivery(delivered > 0 ? HandOverInterval : RetryDelivery);
}

void HTTPTransfer::ScheduleDelivery(Clock::duration delay) {
    const int ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(delay).count());
    QTimer::singleShot(std::max(ms, 1), QCoreApplication::instance(),
                       [self = shared_from_this()] { self->DeliverProgress(false); });
}

// Worker: delivers what is still queued, or taken and not yet raised, before the transfer's
// outcome.
void HTTPTransfer::FlushProgress() {
    auto pending = [this] {
        std::lock_guard<std::mutex> lock(QueueLock);
        return !Queue.empty() || BatchLeft;
    };
    while (pending() && !Stop.load()) {
        TvuEventThread::SynchronizeCurrent([this] { DeliverProgress(true); });
        if (TvuEventThread::CurrentStopToken().stop_requested())
            break;
    }
}

// Writes n bytes to a memory stream (DataLock held). A short write counts the bytes that did
// reach it, so BytesRead always tells what was stored.
bool HTTPTransfer::Write(const char* data, size_t n) {
    const qint64 written = Data->write(data, static_cast<qint64>(n));
    if (written == static_cast<qint64>(n))
        return true;
    if (written > 0)
        BytesRead += static_cast<quint32>(written);
    WriteFailed = true;
    return false;
}

// Puts a complete output file on the disk before it may count as done: its data is synced and
// the file closed, each step checked. Memory streams have nothing to finish.
bool HTTPTransfer::FinishOutput() {
    if (!DataIsFile || Released)
        return true;
    // The sync may take long for a large file: the writer does it on its own descriptor, so an
    // abort meanwhile does not wait for it.
    bool ok = Writer.Finish();
    BytesRead = static_cast<quint32>(StoredFrom + Writer.Written());
    {
        std::lock_guard<std::recursive_mutex> guard(DataLock);
        if (Data && !Released) {
            auto* file = static_cast<QFile*>(Data.get());
            file->close();
            ok = ok && file->error() == QFileDevice::NoError;
        }
    }
    if (!ok)
        WriteFailed = true;
    return ok;
}

bool HTTPTransfer::Body(const char* data, size_t size) {
    if (Holding) {
        const qsizetype room = MaxHeldBody - Held.size();
        if (room > 0)
            Held.append(data, std::min<qsizetype>(room, static_cast<qsizetype>(size)));
        return true;
    }
    return Store(data, size);
}

// The network has nothing more for now: what the writer collected goes to the file, so that the
// progress of a slow download shows as its bytes arrive.
bool HTTPTransfer::Idle() {
    if (Holding || !DataIsFile || Writer.Collected() == 0)
        return true;
    if (Released || Stop.load())
        return false;
    const bool ok = Writer.WriteOut();
    if (!ok)
        WriteFailed = true;
    return ReportStored() && ok;
}

void HTTPTransfer::Run() {
    try {
        Transfer();
    } catch (...) {
        FlushProgress();
        Finished.store(true);
        throw;
    }
    FlushProgress();
    Finished.store(true);
    // The handles are closed here, on the worker, so that their last notifications come from it.
    std::shared_ptr<TvuCurlRequest> request;
    {
        std::lock_guard<std::mutex> guard(RequestLock);
        request = std::move(Request);
    }
    request.reset();
    std::vector<char>().swap(Chunk);
    Writer.Close(); // an output file given up on (the complete one is closed already)
}

// A transfer, on the worker: reset, read the URL, fetch the body from a local file or from a
// server, then judge what was stored. Each step that ends the transfer early leaves Success and
// StatusCode as the completion on the GUI thread must see them; the handles stay open for it.
void HTTPTransfer::Transfer() {
    BeginRun();

    // An abandoned run (Abort, a new Read, destruction) stops its request at once.
    std::stop_callback onStop(TvuEventThread::CurrentStopToken(), [this] { Abort(); });
    if (Stop.load())
        return;

    TvuURLParts url;
    if (!CrackURL(URL, url))
        return; // no status: the server counts as unreachable

    TvuCurlRequest::Outcome outcome = TvuCurlRequest::Outcome::Complete;
    if (url.Scheme == "file") {
        if (!ReadLocalFile(url))
            return;
    } else if (url.Scheme == "http" || url.Scheme == "https") {
        switch (FetchFromServer(url, outcome)) {
        case FetchResult::Body:
            break;
        case FetchResult::Ended:
            return;
        case FetchResult::StartOver:
            // The server cannot continue the partial file: without its record, the transfer
            // starts over and asks for the whole file.
            TvuResumeRecord::Remove(OutputFile);
            StartOver = false;
            Resumed = false;
            BytesRead = 0;
            return Transfer();
        }
    } else {
        return; // a scheme no transfer can fetch: no status, as for an unreachable server
    }
    JudgeBody(outcome);
}

// Every run starts from the same state, also the run that starts over without a partial file.
void HTTPTransfer::BeginRun() {
    StatusCode = -1;
    Failure = TvuTransferFailure();
    ContentType.clear();
    Start = Clock::now();
    Continue = true;
    Success = false;
}

// A "file" URL is read straight from disk: there are no headers, so no header event, and the
// status is made up from whether the file opens (200 or 404), the way a server would answer.
bool HTTPTransfer::ReadLocalFile(const TvuURLParts& url) {
    QFile local(QString::fromLocal8Bit(url.URLPath));
    const bool opened = local.open(QIODevice::ReadOnly);
    ContentLength = opened ? static_cast<quint32>(local.size() & 0xFFFFFFFF) : 0;
    StatusCode = opened ? 200 : 404;
    // A missing file gets its output too: the 404 hands its empty body to the completion the
    // way a server's error page would be.
    if (!CreateOutput())
        return false;
    BytesRead = 0;
    std::vector<char> readBuffer(static_cast<size_t>(BufferSize));
    while (opened && !Stop.load()) {
        const qint64 n = local.read(readBuffer.data(), BufferSize);
        if (n <= 0)
            break;
        if (!Store(readBuffer.data(), static_cast<size_t>(n)))
            break;
    }
    if (Stop.load())
        return false;
    if (WriteFailed || TooLarge) {
        Success = false;
        return false;
    }
    return true;
}

// An "http" or "https" URL: open the request, send it (again, while a credentials handler asks
// for it) and receive the body through the listener calls (HeadersIn, Body).
HTTPTransfer::FetchResult HTTPTransfer::FetchFromServer(const TvuURLParts& url,
                                                        TvuCurlRequest::Outcome& outcome) {
    // The range line is sent as one header line of its own, without its line end.
    QByteArray range = Range.HeaderLine();
    while (range.endsWith('\n') || range.endsWith('\r'))
        range.chop(1);
    RangeRequested = !range.isEmpty();
    PrepareResume();

    // The request is published under its lock before it does anything, so that an Abort from
    // the GUI thread can always reach it.
    auto request = std::make_shared<TvuCurlRequest>();
    {
        std::lock_guard<std::mutex> guard(RequestLock);
        Request = request;
    }
    if (Stop.load())
        return FetchResult::Ended;
    if (!request->Open(RequestOptions(url, range), this))
        return FetchResult::Ended;
    // From here on a transfer that stops early without a failure of its own (a cancelled header
    // event, an output file that cannot be made) ends with Success set.
    Success = true;
    if (!ProxyUsername.isEmpty() || !ProxyPassword.isEmpty())
        request->SetProxyCredentials(ProxyUsername, ProxyPassword);

    if (!SendAskingCredentials(*request, outcome))
        return FetchResult::Ended;
    if (StartOver && !Stop.load())
        return FetchResult::StartOver;
    if (outcome == TvuCurlRequest::Outcome::Stopped) {
        if (!Continue || OutputFailed || Stop.load())
            return FetchResult::Ended; // cancelled, or no output could be made (Success stays)
        if (WriteFailed || TooLarge) {
            Success = false;
            return FetchResult::Ended;
        }
    }
    return FetchResult::Body;
}

// Everything the request is sent with, from the settings taken when the transfer started.
TvuCurlRequestOptions HTTPTransfer::RequestOptions(const TvuURLParts& url,
                                                   const QByteArray& range) const {
    // Credentials written into the URL take the place of the component's.
    const QByteArray user = url.HasUserName ? url.UserName : Username;
    const QByteArray password = url.HasPassword ? url.Password : Password;
    TvuCurlRequestOptions options;
    options.URL = url.BareURL;
    options.HasCredentials = !user.isEmpty() || !password.isEmpty();
    options.Username = user;
    options.Password = password;
    options.UserAgent = UserAgent;
    options.Accept = Accept;
    for (const QByteArray& line : Extra)
        options.Headers.append(line);
    if (RangeRequested)
        options.Headers.append(range);
    if (ResumeFrom > 0) {
        // The rest of the partial file, if it is still the same file; the whole otherwise.
        options.Headers.append("Range: bytes=" + QByteArray::number(ResumeFrom) + "-");
        options.Headers.append("If-Range: " + ResumeValidator);
    }
    options.NoCache = !CacheAllowed;
    options.Proxy = Proxy;
    // Stored time-outs of 0 leave the component's own limits in force, never none at all.
    options.ConnectTimeout =
        Timeouts.ConnectTimeout != 0 ? Timeouts.ConnectTimeout : Limits.ConnectLimit;
    options.StallTimeout = Timeouts.ReceiveTimeout != 0 ? Timeouts.ReceiveTimeout
                           : Timeouts.SendTimeout != 0  ? Timeouts.SendTimeout
                                                        : Limits.StallLimit;
    options.MinimumSpeed = Limits.MinimumSpeed;
    options.MinimumSpeedTime = Limits.MinimumSpeedTime;
    options.TotalTimeout = Limits.TotalLimit;
    options.CAFile = CAFile;
    return options;
}

// Sends the request. A 401 or 407 answer is held back (HeadersIn) while the handler for it is
// asked; when it wants to try again the request goes out once more with the credentials it gave,
// as often as it asks. When it does not, the held answer is read like any other. False when the
// transfer ends here: aborted, or no response at all.
bool HTTPTransfer::SendAskingCredentials(TvuCurlRequest& request,
                                         TvuCurlRequest::Outcome& outcome) {
    while (true) {
        TryAgain = false;
        Holding = false;
        outcome = request.Send();
        Failure = request.Failure();
        if (outcome == TvuCurlRequest::Outcome::Aborted || Stop.load())
            return false;
        if (outcome == TvuCurlRequest::Outcome::NoResponse) {
            Success = false;
            return false;
        }
        if (!Holding)
            return true;
        Holding = false;
        AskForCredentials(request);
        if (Stop.load())
            return false;
        if (TryAgain)
            continue;
        ReadHeldAnswer(outcome);
        return true;
    }
}

// Raises the credentials event for the held answer on the GUI thread and hands what the
// handler left in the component to the request for the next send.
void HTTPTransfer::AskForCredentials(TvuCurlRequest& request) {
    if (StatusCode == 401) {
        // The realm is the quoted name after "=" in the authentication header; the header is
        // kept in ContentType, which the body's own content type replaces later.
        QByteArray header;
        ContentType.clear();
        if (request.Query("WWW-Authenticate", header)) {
            ContentType = header;
            const qsizetype quote = header.indexOf("=\"");
            if (quote >= 0) {
                ContentType = header.mid(quote + 2);
                ContentType.chop(1);
            }
        }
        const QByteArray realm = ContentType;
        Sync([&](TvuCustomHTTP& o) {
            o.DoAuthorizationRequest(realm, TryAgain);
            Username = o.HTTPUsername();
            Password = o.HTTPPassword();
        });
        request.SetCredentials(Username, Password);
    } else {
        Sync([&](TvuCustomHTTP& o) {
            o.DoProxyAuthenticationRequest(TryAgain);
            ProxyUsername = o.ProxyUsername();
            ProxyPassword = o.ProxyPassword();
        });
        request.SetProxyCredentials(ProxyUsername, ProxyPassword);
    }
}

// The answer to a request that is not tried again stands: its headers are taken and its body,
// kept while the handler was asked, is stored like any other.
void HTTPTransfer::ReadHeldAnswer(TvuCurlRequest::Outcome& outcome) {
    if (!AfterHeaders()) {
        outcome = TvuCurlRequest::Outcome::Stopped;
        return;
    }
    BytesRead = 0;
    if (!Store(Held.constData(), static_cast<size_t>(Held.size())))
        outcome = TvuCurlRequest::Outcome::Stopped;
    Held.clear();
}

// The body is in: store its last, shorter chunk, close the output, and decide whether the
// transfer succeeded. Only a complete answer whose body is stored in full can succeed.
void HTTPTransfer::JudgeBody(TvuCurlRequest::Outcome outcome) {
    if (!Flush()) {
        if (Stop.load())
            return;
        if (WriteFailed) {
            Success = false;
            return;
        }
    }
    if (!FinishOutput()) {
        Success = false;
        return;
    }
    Success = WholeAnswer();
    // An announced length must be met; a memory stream given no data has nothing to count.
    if (Success && LengthAnnounced && Data)
        Success = BytesRead == ContentLength;
    // A body that broke off (an error, a stall, a bad chunked encoding) is not a success even
    // when its length was never announced.
    if (Success && outcome == TvuCurlRequest::Outcome::BodyFailed)
        Success = false;
    if (!Success)
        KeepForResume();
}

// A download that broke off keeps its partial file for the next attempt: FinishOutput has put
// its data on the disk, and only now is the record written beside it (itself synced), so that a
// record never tells of bytes that a crash or power cut could still take back.
void HTTPTransfer::KeepForResume() {
    if (!Resumable || !DataIsFile || Released || Stop.load() || !WholeAnswer() || BytesRead == 0)
        return;
    RecordKept = TvuResumeRecord{URL, KeptValidator}.Write(OutputFile);
    if (RecordKept && Stop.load()) {
        // Aborted meanwhile: the partial file is gone, and its record goes with it.
        TvuResumeRecord::Remove(OutputFile);
        RecordKept = false;
    }
}

} // namespace detail

using detail::HTTPTransfer;

// ---- TvuCustomHTTP
// -------------------------------------------------------------------------------

TvuCustomHTTP::TvuCustomHTTP(QObject* owner)
    : TvuLoginComponent(owner), userAgent_("vuHTTP component (velmora.invalid)"),
      worker_(new TvuCustomThread(this)) {}

TvuCustomHTTP::~TvuCustomHTTP() {
    BeginDestroy();
    bool outputBusy = false;
    if (transfer_) {
        transfer_->Abort();
        outputBusy = transfer_->Writer.Halt() && !transfer_->Writer.WaitUntilQuiet(QuietWait);
        transfer_->Detach();
    }
    if (worker_->Running())
        worker_->Terminate(true);
    if (transfer_) {
        std::unique_ptr<QIODevice> file;
        transfer_->ReleaseData(outputBusy ? &file : nullptr);
        if (file)
            DiscardOutputElsewhere(std::move(file), QString());
    }
    delete worker_;
    worker_ = nullptr;
}

TThreadPriority TvuCustomHTTP::ThreadPriority() const {
    return worker_->Priority();
}

void TvuCustomHTTP::SetThreadPriority(TThreadPriority value) {
    worker_->SetPriority(value);
}

bool TvuCustomHTTP::Read() {
    if (busy_)
        return false;
    busy_ = true;
    auto t = std::make_shared<HTTPTransfer>();
    t->Owner = this;
    t->URL = url_;
    t->UserAgent = userAgent_;
    t->Accept = acceptTypes_;
    t->CAFile = caFile_.toLocal8Bit();
    t->Username = HTTPUsername();
    t->Password = HTTPPassword();
    t->ProxyUsername = proxyUsername_;
    t->ProxyPassword = proxyPassword_;
    t->Extra = extraHeaders_;
    t->OutputFile = outputFile_;
    t->HideOutputFile = hideOutputFile_;
    t->Range = range_;
    t->Timeouts = timeouts_;
    t->Limits = limits_;
    t->ResumeOutput = resumeOutput_;
    t->BufferSize = transferBufferSize_;
    t->Proxy = proxy_;
    t->CacheAllowed = cacheAllowed_;
    t->WantHeaders = static_cast<bool>(OnHeaderInfo);
    t->WantProgress = static_cast<bool>(OnTransferProgress);
    t->WantAuth = static_cast<bool>(OnAuthorizationRequest);
    t->WantProxyAuth = static_cast<bool>(OnProxyAuthenticationRequest);
    if (transfer_)
        transfer_->Detach();
    transfer_ = t;
    worker_->SetOnExecute([t](TvuCustomThread*) { t->Run(); });
    worker_->SetOnException([this, t](TvuCustomThread*) {
        if (transfer_ == t)
            FailureReport(worker_);
    });
    worker_->SetOnFinish([this, t](TvuCustomThread*) {
        if (transfer_ == t)
            Completion(worker_);
    });
    worker_->Execute();
    return true;
}

void TvuCustomHTTP::Abort() {
    auto t = transfer_;
    if (t)
        t->Abort();
    // From here the worker starts no write or sync of the output file; while one is still in
    // progress, closing or removing the file is left to a helper thread (it may have to wait).
    const bool outputBusy = t && t->Writer.Halt() && !t->Writer.WaitUntilQuiet(QuietWait);
    const bool running = Transferring();
    if (running) {
        // The worker is abandoned, not waited for: it stops at its next step by itself.
        worker_->Terminate(true);
        if (t)
            t->Detach();
        if (!Destroying())
            DoTransferAborted();
    } else if (t) {
        t->Detach();
    }
    std::unique_ptr<QIODevice> file;
    const bool hadFile = t && t->ReleaseData(outputBusy ? &file : nullptr);
    busy_ = false;
    // A transfer stopped before its completion is no success and leaves no partial output file
    // behind. Once the completion runs (its handlers may call this), the outcome stands.
    const bool remove = running && t && !t->CompletionStarted && hadFile;
    if (running && t && !t->CompletionStarted)
        t->Aborted = true;
    if (outputBusy && hadFile) {
        DiscardOutputElsewhere(std::move(file), remove ? t->OutputFile : QString());
    } else if (remove) {
        TvuOutputWriter::Remove(t->OutputFile);
        TvuResumeRecord::Remove(t->OutputFile);
    }
}

void TvuCustomHTTP::ReleaseData() {
    if (transfer_)
        transfer_->ReleaseData();
    busy_ = false;
}

bool TvuCustomHTTP::Transferring() const {
    return worker_ != nullptr && worker_->Running();
}

QString TvuCustomHTTP::URLFileName() const {
    return URLToFileName(QString::fromLocal8Bit(url_));
}

QByteArray TvuCustomHTTP::ProxyName() const {
    const std::optional<TvuURLParts> proxy = ProxyFor(url_, proxy_);
    return proxy ? ProxyDisplayName(*proxy) : QByteArray();
}

QByteArray TvuCustomHTTP::URLHostName() const {
    TvuURLParts parts;
    return CrackURL(url_, parts) ? parts.HostName : QByteArray();
}

void TvuCustomHTTP::FailureReport(TvuCustomThread*) {
    // The work ended in an exception: whatever it had reached is no success.
    transfer_->Success = false;
    DoTransferFailed();
}

void TvuCustomHTTP::Completion(TvuCustomThread*) {
    auto t = transfer_; // kept alive through the handlers, which may start a new transfer
    t->CompletionStarted = true;
    // 1. The worker has closed its handles; rewind the data for the handlers.
    if (t->Data && t->Data->isOpen())
        t->Data->seek(0);
    bool deleteFile = false;
    const QString outputFile = t->OutputFile;
    // A handler that calls Abort lets the transfer go: nothing more of it is raised then.
    auto live = [&t] { return t->Owner != nullptr; };
    // 2.
    if (t->Continue) {
        if (t->Success) {
            if (!t->Data) {
                DoTransferFailed();
            } else if (t->DataIsFile) {
                t->ReleaseData(); // the file is complete and closed
                if (transfer_ == t)
                    busy_ = false;
                DoDone(nullptr);
            } else {
                DoDone(t->Data.get());
            }
        } else {
            // A broken download with a record beside it stays for the next attempt to go on.
            // A file that could not be stored whole is never continued.
            deleteFile = t->DataIsFile && (t->StorageFailed() || !t->KeepsPartial());
            DoTransferFailed();
            // A body that could not be stored is that failure alone, whatever the server said.
            if (!live() || t->StorageFailed()) {
            } else if (t->TooLarge) {
                // Not what was asked for: an error of the answer, with nothing of its body.
                t->ReleaseData();
                DoHTTPError(nullptr);
            } else if (t->WholeAnswer()) {
                DoConnectionLost(t->Data.get());
            } else if (t->StatusCode == -1) {
                DoServerUnreachable();
            } else {
                DoHTTPError(t->Data.get());
            }
        }
    }
    const bool cancelled = !t->Continue && live();
    // 3. Release this transfer's data (a handler may have started the next transfer already).
    t->ReleaseData();
    t->Detach();
    if (transfer_ == t)
        busy_ = false;
    if (deleteFile) {
        TvuOutputWriter::Remove(outputFile);
        TvuResumeRecord::Remove(outputFile);
    } else if (t->Success && t->DataIsFile) {
        TvuResumeRecord::Remove(outputFile); // complete: nothing to go on from
    }
    // 4.
    if (cancelled)
        DoCancelled();
}

// ---- State
// ----------------------------------------------------------------------------------------

qint32 TvuCustomHTTP::StatusCode() const {
    return transfer_ ? transfer_->StatusCode : -1;
}
bool TvuCustomHTTP::StorageFailed() const {
    return transfer_ && transfer_->StorageFailed();
}
bool TvuCustomHTTP::BodyTooLarge() const {
    return transfer_ && transfer_->TooLarge;
}
TvuTransferFailure TvuCustomHTTP::Failure() const {
    return transfer_ ? transfer_->Failure : TvuTransferFailure();
}
bool TvuCustomHTTP::Success() const {
    // Only a transfer the worker has finished can be a success; an aborted one never is.
    return transfer_ && transfer_->Finished.load() && transfer_->Success && !transfer_->Aborted;
}
QByteArray TvuCustomHTTP::RawHeaders() const {
    return transfer_ ? transfer_->RawHeaders : "";
}
QByteArray TvuCustomHTTP::ContentType() const {
    return transfer_ ? transfer_->ContentType : "";
}
QByteArray TvuCustomHTTP::ContentLanguage() const {
    return transfer_ ? transfer_->ContentLanguage : "";
}
QByteArray TvuCustomHTTP::ContentEncoding() const {
    return transfer_ ? transfer_->ContentEncoding : "";
}
QByteArray TvuCustomHTTP::Location() const {
    return transfer_ ? transfer_->Location : "";
}
TDateTime TvuCustomHTTP::Date() const {
    return transfer_ ? transfer_->Date : 0;
}
TDateTime TvuCustomHTTP::LastModified() const {
    return transfer_ ? transfer_->LastModified : 0;
}
TDateTime TvuCustomHTTP::Expires() const {
    return transfer_ ? transfer_->Expires : 0;
}
quint32 TvuCustomHTTP::ContentLength() const {
    return transfer_ ? transfer_->ContentLength : 0;
}
// While the worker runs ahead, the progress figures are those of the last event delivered.
quint32 TvuCustomHTTP::BytesRead() const {
    if (!transfer_)
        return 0;
    return transfer_->Finished.load() ? transfer_->BytesRead : transfer_->Shown.BytesRead;
}
quint8 TvuCustomHTTP::PercentsDone() const {
    return ShownStatistics().PercentsDone;
}
qint32 TvuCustomHTTP::ElapsedTime() const {
    return ShownStatistics().ElapsedTime;
}
qint32 TvuCustomHTTP::EstimatedTimeLeft() const {
    return ShownStatistics().EstimatedTimeLeft;
}
float TvuCustomHTTP::TransferRate() const {
    return ShownStatistics().TransferRate;
}
TvuTransferStatistics TvuCustomHTTP::ShownStatistics() const {
    if (!transfer_)
        return {};
    return transfer_->Finished.load() ? transfer_->Stats : transfer_->Shown.Stats;
}
QIODevice* TvuCustomHTTP::Data() const {
    return transfer_ ? transfer_->Data.get() : nullptr;
}

// ---- Hooks
// ----------------------------------------------------------------------------------------

void TvuCustomHTTP::DoHeaderInfo(bool& continueTransfer) {
    if (OnHeaderInfo) {
        auto& t = *transfer_;
        OnHeaderInfo(this, t.StatusCode, t.RawHeaders, t.ContentType, t.ContentLanguage,
                     t.ContentEncoding, t.Location, t.ContentLength, t.Date, t.LastModified,
                     t.Expires, continueTransfer);
    }
}

void TvuCustomHTTP::DoDone(QIODevice* data) {
    if (OnDone)
        OnDone(this, transfer_->ContentType, transfer_->BytesRead, data);
}

void TvuCustomHTTP::DoCancelled() {
    if (OnCancelled)
        OnCancelled(this);
}

void TvuCustomHTTP::DoTransferProgress(QIODevice* data) {
    if (OnTransferProgress) {
        auto& t = *transfer_;
        const auto& e = t.Shown;
        OnTransferProgress(this, t.ContentType, t.ContentLength, e.BytesRead, e.Stats.ElapsedTime,
                           e.Stats.EstimatedTimeLeft, e.Stats.PercentsDone, e.Stats.TransferRate,
                           data);
    }
}

void TvuCustomHTTP::DoStatus(quint32 statusCode, const QByteArray& statusText) {
    if (OnStatus)
        OnStatus(this, statusCode, statusText);
}

void TvuCustomHTTP::DoRedirected(const QByteArray& newURL) {
    if (OnRedirected)
        OnRedirected(this, newURL);
}

void TvuCustomHTTP::DoTransferFailed() {
    if (OnTransferFailed)
        OnTransferFailed(this);
}

void TvuCustomHTTP::DoTransferAborted() {
    if (OnTransferAborted)
        OnTransferAborted(this);
}

void TvuCustomHTTP::DoConnectionLost(QIODevice* data) {
    if (OnConnectionLost)
        OnConnectionLost(this, transfer_->ContentType, transfer_->ContentLength,
                         transfer_->BytesRead, data);
}

void TvuCustomHTTP::DoServerUnreachable() {
    if (OnServerUnreachable)
        OnServerUnreachable(this);
}

void TvuCustomHTTP::DoHTTPError(QIODevice* data) {
    if (OnHTTPError)
        OnHTTPError(this, transfer_->StatusCode, data);
}

void TvuCustomHTTP::DoAuthorizationRequest(const QByteArray& realm, bool& tryAgain) {
    if (OnAuthorizationRequest)
        OnAuthorizationRequest(this, realm, tryAgain);
}

void TvuCustomHTTP::DoProxyAuthenticationRequest(bool& tryAgain) {
    if (OnProxyAuthenticationRequest)
        OnProxyAuthenticationRequest(this, proxyUsername_, proxyPassword_, tryAgain);
}

} // namespace vu
