// The transfer behind TvuCustomHTTP: the state of one Read, shared by the component on the GUI
// thread and the worker that runs it (the worker holds it by shared ownership, so that an
// abandoned worker can finish on its own). Its concerns are units of their own: the settings
// (vuTransferSettings), the request (vuCurlRequest, driven by the steps in vuTransferRequest.cpp),
// the body's storage (vuBodySink), resuming (vuResumeRecord), the progress events
// (vuProgressQueue) and stopping (vuTransferAbort); this file holds what ties them together.
#pragma once

#include "upgrade/http/vuBodySink.h"
#include "upgrade/http/vuCurlRequest.h"
#include "upgrade/http/vuProgressQueue.h"
#include "upgrade/http/vuResumeRecord.h"
#include "upgrade/http/vuTransferAbort.h"
#include "upgrade/http/vuTransferFailure.h"
#include "upgrade/http/vuTransferSettings.h"
#include "upgrade/http/vuTransferStatistics.h"
#include "upgrade/utils/vuDateTime.h"
#include "upgrade/utils/vuThread.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace vu {

class TvuCustomHTTP;
struct TvuURLParts;

namespace detail {

struct HTTPTransfer final : TvuCurlRequestListener,
                            TvuProgressReceiver,
                            std::enable_shared_from_this<HTTPTransfer> {
    using Clock = std::chrono::steady_clock;

    // Which events the owner has assigned: they decide what the transfer collects and asks.
    struct Wanted {
        bool Headers = false;
        bool Progress = false;
        bool Credentials = false;
        bool ProxyCredentials = false;
    };

    HTTPTransfer(TvuCustomHTTP* owner, const TvuTransferSettings& settings, Wanted wanted);
    static std::shared_ptr<HTTPTransfer> Make(TvuCustomHTTP* owner,
                                              const TvuTransferSettings& settings, Wanted wanted);

    // ---- The component's part ------------------------------------------------------------------
    // The component while the transfer belongs to it (Stopping.Owner()), and which of its events
    // are assigned.
    const Wanted Wants;
    // The settings taken when the transfer started and the server credentials (the credential
    // handlers may change them and the proxy's).
    TvuTransferSettings Settings;
    QByteArray Username, Password;

    // ---- What the transfer found --------------------------------------------------------------
    qint32 StatusCode = -1;
    bool Success = false;
    bool Continue = true;
    QByteArray RawHeaders, ContentType, ContentLanguage, ContentEncoding, Location;
    TDateTime Date = 0, LastModified = 0, Expires = 0;
    quint32 ContentLength = 0;
    bool LengthAnnounced = false;
    bool RangeRequested = false;
    quint32 BytesRead = 0; // bytes stored (a resumed file counts what it held)
    TvuTransferStatistics Stats;
    Clock::time_point Start;
    bool OutputFailed = false;  // no output file could be made
    bool WriteFailed = false;   // a write or the final sync of the output failed
    bool TooLarge = false;      // the body exceeded Limits.MaxBodySize
    TvuTransferFailure Failure; // why the request got no answer or broke off
    TvuResumeState Resume;
    // Set when the worker is done with the transfer (its fields are then the GUI thread's).
    std::atomic<bool> Finished{false};
    bool Aborted = false;           // GUI thread: the owner aborted it
    bool CompletionStarted = false; // GUI thread

    // ---- The body -----------------------------------------------------------------------------
    // Data is what the events see; the worker also keeps its own reference (Sink) to write
    // through. DataLock guards Data, Released and a memory sink's bytes; the GUI thread holds it
    // while it raises progress events (Delivering), so that their handlers may read Data.
    std::mutex DataLock;
    std::shared_ptr<TvuBodySink> Data;
    bool DataIsFile = false;
    std::atomic<bool> Released{false};
    bool Delivering = false; // GUI thread
    // GUI thread: DataLock, unless a progress delivery holds it already (its handlers call here).
    std::unique_lock<std::mutex> LockData();
    // GUI thread: Data's stream, read under the data lock (the worker creates Data).
    QIODevice* DataDevice();
    std::shared_ptr<TvuBodySink> Sink;
    // The transfer buffer of a memory sink: worker-owned, a chunk being collected.
    std::vector<char> Chunk;
    size_t Pending = 0;
    // The chunks of a file's body end every TransferBufferSize bytes counted in what reached
    // the file, NextChunkEnd being the next one to report and LastChunkEnd the end of a shorter
    // last chunk (0 while the body goes on); a chunk's event waits until its end is stored.
    quint64 NextChunkEnd = 0;
    quint64 LastChunkEnd = 0;
    std::vector<TvuProgressEvent> Stored; // the events of one write, queued together
    std::shared_ptr<TvuProgressQueue> Progress;
    TvuProgressEvent Shown; // GUI thread: the event being (or last) raised

    // ---- The request --------------------------------------------------------------------------
    std::shared_ptr<TvuCurlRequest> Request; // worker
    TvuTransferStop Stopping;
    bool Holding = false; // a 401 or 407 answer is held while the owner is asked
    QByteArray Held;
    bool TryAgain = false;

    // ---- The run, on the worker (vuHTTPTransfer.cpp) -------------------------------------------
    void Run();
    void EndRun();
    // The status of a complete answer: 200, or 206 to a range request or a resumed download.
    bool WholeAnswer() const;
    // Whether a broken download keeps its partial file for the next attempt.
    bool KeepsPartial() const { return Resume.Kept() && WholeAnswer() && BytesRead > 0; }
    bool StorageFailed() const { return OutputFailed || WriteFailed; }

    // ---- The request steps, on the worker (vuTransferRequest.cpp) -------------------------------
    void Transfer();
    enum class FetchResult { Body, Ended, StartOver };
    void BeginRun();
    bool ReadLocalFile(const TvuURLParts& url);
    FetchResult FetchFromServer(const TvuURLParts& url, TvuCurlRequest::Outcome& outcome);
    TvuCurlRequestOptions RequestOptions(const TvuURLParts& url) const;
    bool SendAskingCredentials(TvuCurlRequest& request, TvuCurlRequest::Outcome& outcome);
    void AskForCredentials(TvuCurlRequest& request);
    void ReadHeldAnswer(TvuCurlRequest::Outcome& outcome);
    // Runs f on the GUI thread while the worker waits; nothing once the transfer is let go.
    template <typename F> void Sync(F f) {
        if (Stopping.Stopped())
            return;
        TvuEventThread::SynchronizeCurrent([this, &f] {
            if (Stopping.Owner() != nullptr && !Stopping.Stopped())
                f(*Stopping.Owner());
        });
    }

    // ---- Listener of the request (vuHTTPTransfer.cpp) ------------------------------------------
    void Status(quint32 code, const QByteArray& info) override;
    bool HeadersIn() override;
    bool Body(const char* data, size_t size) override;
    bool Idle() override;
    bool AfterHeaders();
    bool CreateOutput();
    void JudgeBody(TvuCurlRequest::Outcome outcome);
    void KeepForResume();

    // ---- Storing the body in chunks (vuHTTPTransfer.cpp) ---------------------------------------
    bool Store(const char* data, size_t size);
    bool AppendToMemory(const char* data, size_t size);
    bool StoreInFile(const char* data, size_t size);
    bool StoreChunk(const char* data, size_t n);
    bool ReportStored();
    bool Flush();
    bool FinishOutput();
    bool WithinLimit(quint64 more);
    TvuProgressEvent EventAt(quint32 bytes);

    // ---- Progress receiver, GUI thread (vuHTTPTransfer.cpp) ------------------------------------
    bool BeginDelivery(bool wait) override;
    bool Raise(const TvuProgressEvent& event) override;
    void EndDelivery() override;

    // ---- Letting go, GUI thread (vuTransferAbort.cpp) ------------------------------------------
    // Stops the worker's request and writes; remembers whether the output is inside a write.
    void Abort();
    // No event of this transfer is raised after this.
    void Detach();
    // Frees Data (closing an output file). Returns whether it was an output file.
    bool ReleaseData();
    std::shared_ptr<TvuBodySink> TakeData();
    // Releases the data of a transfer stopped early; with `removeOutput` its partial output
    // file goes too. An output the worker is inside a write or sync of is left to the worker.
    void LetGo(bool removeOutput);
    bool OutputBusy = false;
};

} // namespace detail
} // namespace vu
