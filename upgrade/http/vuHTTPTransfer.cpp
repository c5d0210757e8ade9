#include "upgrade/http/vuHTTPTransfer.h"

#include "upgrade/http/vuHTTP.h"
#include "upgrade/http/vuHTTPStatus.h"
#include "upgrade/http/vuResponseHeaders.h"
#include "upgrade/utils/vuHTTPDate.h"

#include <QFile>

#include <cstring>

namespace vu::detail {

namespace {

// The error page of a 401 or 407 answer is kept while the owner is asked for credentials, up to
// this much.
constexpr qsizetype kMaxHeldBody = 1024 * 1024;

} // namespace

HTTPTransfer::HTTPTransfer(TvuCustomHTTP* owner, const TvuTransferSettings& settings, Wanted wanted)
    : Wants(wanted), Settings(settings), Username(owner->HTTPUsername()),
      Password(owner->HTTPPassword()), Stopping(owner) {}

bool HTTPTransfer::WholeAnswer() const {
    return StatusCode == 200 || ((RangeRequested || Resume.Resumed()) && StatusCode == 206);
}

std::shared_ptr<HTTPTransfer>
HTTPTransfer::Make(TvuCustomHTTP* owner, const TvuTransferSettings& settings, Wanted wanted) {
    auto t = std::make_shared<HTTPTransfer>(owner, settings, wanted);
    t->Progress = std::make_shared<TvuProgressQueue>(t);
    return t;
}

void HTTPTransfer::Run() {
    try {
        Transfer();
    } catch (...) {
        EndRun();
        throw;
    }
    EndRun();
}

// Every queued event is raised before the outcome. The handles are closed here, on the worker,
// so that their last notifications come from it; what an abort left to the worker comes last.
void HTTPTransfer::EndRun() {
    Progress->Drain();
    Finished.store(true);
    Stopping.Withdraw().reset();
    Request.reset();
    std::vector<char>().swap(Chunk);
    if (Sink)
        Sink->EndWriting(); // an output file given up on (a complete one is closed already)
    Sink.reset();
    Stopping.WorkerDone();
}

void HTTPTransfer::Status(quint32 code, const QByteArray& info) {
    Stopping.WithOwner([&](TvuCustomHTTP& owner) {
        owner.DoStatus(code, HTTPStatusText(code));
        if (code == vuStatusRedirect)
            owner.DoRedirected(info);
    });
}

bool HTTPTransfer::HeadersIn() {
    StatusCode = Request->StatusCode();
    if ((StatusCode == 401 && Wants.Credentials) || (StatusCode == 407 && Wants.ProxyCredentials)) {
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
    // A length beyond 32 bits cannot be counted against: it is treated as not announced.
    if (Request->Query("Content-Length", value) && ParseContentLength(value, ContentLength))
        LengthAnnounced = true;
    if (Resume.From() > 0) {
        QByteArray range;
        Request->Query("Content-Range", range);
        switch (Resume.Judge(StatusCode, range, ContentLength)) {
        case TvuResumeState::Answer::StartOver:
            return false;
        case TvuResumeState::Answer::Continues:
            // The transfer counts the whole file.
            LengthAnnounced = true;
            BytesRead = static_cast<quint32>(Resume.From());
            break;
        case TvuResumeState::Answer::Whole:
            break;
        }
    }
    if (Settings.ResumeOutput) {
        QByteArray etag, modified;
        Request->Query("ETag", etag);
        Request->Query("Last-Modified", modified);
        Resume.Offer(etag, modified);
    }
    if (Wants.Headers) {
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
    if (Stopping.Stopped() || !Continue)
        return false;
    // A body announced beyond the limit is not read at all.
    if (LengthAnnounced && !WithinLimit(ContentLength))
        return false;
    return CreateOutput();
}

// The body goes into the output file (continued when resumed) or into memory. A body meant for
// a file never falls back into memory: the caller would take a memory stream for a stored file.
bool HTTPTransfer::CreateOutput() {
    const QString& path = Settings.OutputFile;
    const bool resumed = Resume.Resumed();
    // Removing an earlier (possibly large) file takes a while: not while the GUI thread may be
    // waiting for the data.
    if (!path.isEmpty() && !resumed)
        QFile::remove(path);
    {
        std::lock_guard<std::mutex> guard(DataLock);
        if (Released || Stopping.Stopped())
            return false;
        if (path.isEmpty())
            Data = std::make_shared<TvuMemorySink>(LengthAnnounced ? ContentLength : 0);
        else if (resumed)
            Data = TvuFileSink::Continue(path, Resume.From());
        else
            Data = TvuFileSink::Create(path, Settings.HideOutputFile);
        if (!Data) {
            if (resumed)
                Resume.Refuse(); // the partial file is not what it was
            else
                OutputFailed = true; // the completion finds no data and reports a failure
            return false;
        }
        DataIsFile = Data->IsFile();
        Sink = Data;
    }
    NextChunkEnd = static_cast<quint64>(Settings.TransferBufferSize);
    LastChunkEnd = 0;
    if (!DataIsFile)
        return true;
    Resume.Opened(path, Settings.ResumeOutput && StatusCode == 200 && !RangeRequested);
    return !Stopping.Stopped();
}

bool HTTPTransfer::Body(const char* data, size_t size) {
    if (Holding) {
        const qsizetype room = kMaxHeldBody - Held.size();
        if (room > 0)
            Held.append(data, std::min<qsizetype>(room, static_cast<qsizetype>(size)));
        return true;
    }
    return Store(data, size);
}

// The network has nothing more for now: what the file sink holds back goes to the file, so that
// the progress of a slow download shows as its bytes arrive.
bool HTTPTransfer::Idle() {
    if (Holding || !DataIsFile || !Sink || Sink->Held() == 0)
        return true;
    if (Released || Stopping.Stopped())
        return false;
    const bool ok = Sink->WriteOut();
    if (!ok)
        WriteFailed = true;
    return ReportStored() && ok;
}

// The body is in: store its last, shorter chunk, close the output, and decide whether the
// transfer succeeded. Only a complete answer whose body is stored in full can succeed.
void HTTPTransfer::JudgeBody(TvuCurlRequest::Outcome outcome) {
    if (!Flush()) {
        if (Stopping.Stopped())
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
    // An announced length must be met; a transfer given no data has nothing to count.
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
    if (!DataIsFile || Released || Stopping.Stopped() || !WholeAnswer() || BytesRead == 0)
        return;
    if (Resume.Keep(Settings.OutputFile, Settings.URL) && Stopping.Stopped())
        Resume.Drop(Settings.OutputFile); // aborted meanwhile: the partial file is gone
}

// ---- Storing the body ----------------------------------------------------------------------

// Collects the body in chunks of TransferBufferSize bytes, as a read of that size returns them:
// every full chunk (and the last, shorter one, through Flush) is stored and reported. Whole
// chunks of the incoming data are stored from where they are; only remainders are copied.
bool HTTPTransfer::Store(const char* data, size_t size) {
    if (!WithinLimit(size))
        return false;
    if (DataIsFile)
        return StoreInFile(data, size);
    if (!Wants.Progress)
        return AppendToMemory(data, size);
    const size_t chunk = static_cast<size_t>(Settings.TransferBufferSize);
    while (size > 0) {
        if (Pending == 0 && size >= chunk) {
            if (!StoreChunk(data, chunk))
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
            if (!StoreChunk(Chunk.data(), chunk))
                return false;
        }
    }
    return true;
}

// A piece of the body into memory, under the data lock. Without a progress handler nobody waits
// for a chunk, and a whole piece goes in at once.
bool HTTPTransfer::AppendToMemory(const char* data, size_t size) {
    std::lock_guard<std::mutex> guard(DataLock);
    if (Released || Stopping.Stopped() || !Data)
        return false;
    Data->Append(data, size);
    BytesRead += static_cast<quint32>(size);
    return true;
}

// A file's body goes to its sink as it comes, whatever the chunk size. The chunks are still
// counted from the first byte of the body, one event each, but an event is queued only once
// its bytes have reached the file.
bool HTTPTransfer::StoreInFile(const char* data, size_t size) {
    if (Released || Stopping.Stopped())
        return false;
    const bool ok = Sink->Append(data, size);
    if (!ok)
        WriteFailed = true;
    return ReportStored() && ok;
}

// A memory chunk: stored, then its event queued.
bool HTTPTransfer::StoreChunk(const char* data, size_t n) {
    if (!AppendToMemory(data, n))
        return false;
    const TvuProgressEvent event = EventAt(BytesRead);
    return Progress->Push(&event, 1);
}

TvuProgressEvent HTTPTransfer::EventAt(quint32 bytes) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start);
    Stats = ComputeTransferStatistics(ContentLength, bytes, static_cast<quint32>(ms.count()));
    return {bytes, Stats};
}

// Brings BytesRead to what has reached the file and queues the events of the chunks stored in
// full, each with its own figures.
bool HTTPTransfer::ReportStored() {
    const quint64 stored = Sink->Stored();
    BytesRead = static_cast<quint32>(stored);
    if (!Wants.Progress)
        return true;
    const quint64 from = Resume.Resumed() ? Resume.From() : 0;
    const quint64 written = stored - from;
    const bool last = LastChunkEnd != 0 && LastChunkEnd <= written;
    if (NextChunkEnd > written && !last)
        return true;
    Stored.clear();
    for (; NextChunkEnd <= written;
         NextChunkEnd += static_cast<quint64>(Settings.TransferBufferSize))
        Stored.push_back(EventAt(static_cast<quint32>(from + NextChunkEnd)));
    if (last) {
        Stored.push_back(EventAt(static_cast<quint32>(from + LastChunkEnd)));
        LastChunkEnd = 0;
    }
    return Progress->Push(Stored.data(), Stored.size());
}

// The end of the body: the last, shorter chunk, and for a file what its sink still holds.
bool HTTPTransfer::Flush() {
    if (!DataIsFile) {
        const size_t n = Pending;
        Pending = 0;
        return n == 0 || StoreChunk(Chunk.data(), n);
    }
    if (Released || Stopping.Stopped() || !Sink)
        return false;
    const quint64 from = Resume.Resumed() ? Resume.From() : 0;
    const quint64 received = Sink->Stored() - from + Sink->Held();
    if (received % static_cast<quint64>(Settings.TransferBufferSize) != 0)
        LastChunkEnd = received;
    const bool ok = Sink->WriteOut();
    if (!ok)
        WriteFailed = true;
    return ReportStored() && ok;
}

// Puts a complete output file on the disk before it may count as done: its data is synced and
// the file closed, each step checked. Memory has nothing to finish.
bool HTTPTransfer::FinishOutput() {
    if (!DataIsFile || Released || !Sink)
        return true;
    // The sync may take long for a large file: the sink does it on its own descriptor, so an
    // abort meanwhile does not wait for it.
    bool ok = Sink->Finish();
    BytesRead = static_cast<quint32>(Sink->Stored());
    {
        std::lock_guard<std::mutex> guard(DataLock);
        if (Data && !Released)
            ok = Data->Close() && ok;
    }
    if (!ok)
        WriteFailed = true;
    return ok;
}

// Whether `more` body bytes still fit under the size limit (counting what has been received).
bool HTTPTransfer::WithinLimit(quint64 more) {
    const quint64 received = BytesRead + Pending + (Sink ? Sink->Held() : 0);
    if (Settings.Limits.MaxBodySize == 0 || received + more <= Settings.Limits.MaxBodySize)
        return true;
    TooLarge = true;
    return false;
}

// ---- Progress events, GUI thread -----------------------------------------------------------

// The worker may hold the data for long (a slow disk): the GUI thread comes back shortly
// instead of waiting for it. At the end the worker waits for the delivery and holds nothing.
bool HTTPTransfer::BeginDelivery(bool wait) {
    if (wait)
        DataLock.lock();
    else if (!DataLock.try_lock())
        return false;
    Delivering = true;
    return true;
}

bool HTTPTransfer::Raise(const TvuProgressEvent& event) {
    auto live = [this] { return Stopping.Owner() != nullptr && !Stopping.Stopped(); };
    if (!live())
        return false;
    Shown = event;
    Stopping.Owner()->DoTransferProgress(DataDevice());
    return live();
}

void HTTPTransfer::EndDelivery() {
    Delivering = false;
    DataLock.unlock();
}

} // namespace vu::detail
