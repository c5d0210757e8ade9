#include "upgrade/http/vuTransferAbort.h"

#include "upgrade/http/vuCurlRequest.h"
#include "upgrade/http/vuHTTPTransfer.h"

#include <utility>

namespace vu {

namespace {

// How long an abort waits for a write of the output file in progress to end (a write to the
// page cache takes microseconds) before it leaves closing and removing the file to the worker.
constexpr auto kQuietWait = std::chrono::milliseconds(4);

} // namespace

void TvuTransferStop::LetGoOfOwner() {
    std::unique_lock<std::mutex> lock(lock_);
    owner_ = nullptr;
    eventEnded_.wait(lock, [this] { return inEvent_ == 0; });
}

TvuCustomHTTP* TvuTransferStop::EnterEvent() {
    std::lock_guard<std::mutex> guard(lock_);
    if (owner_ == nullptr || stopped_.load())
        return nullptr;
    ++inEvent_;
    return owner_;
}

void TvuTransferStop::LeaveEvent() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        --inEvent_;
    }
    eventEnded_.notify_all();
}

void TvuTransferStop::Stop() {
    stopped_.store(true);
    std::lock_guard<std::mutex> guard(lock_);
    if (request_)
        request_->Abort();
}

bool TvuTransferStop::Publish(std::shared_ptr<TvuCurlRequest> request) {
    // The request it replaces (an earlier attempt's) is closed outside the lock: closing it
    // notifies the owner, which takes the lock.
    std::shared_ptr<TvuCurlRequest> replaced;
    {
        std::lock_guard<std::mutex> guard(lock_);
        replaced = std::exchange(request_, std::move(request));
    }
    return !stopped_.load();
}

std::shared_ptr<TvuCurlRequest> TvuTransferStop::Withdraw() {
    std::lock_guard<std::mutex> guard(lock_);
    return std::move(request_);
}

void TvuTransferStop::LeaveToWorker(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!workerDone_) {
            left_ = std::move(work);
            return;
        }
    }
    work();
}

void TvuTransferStop::WorkerDone() {
    std::function<void()> work;
    {
        std::lock_guard<std::mutex> guard(lock_);
        workerDone_ = true;
        work = std::move(left_);
    }
    if (work)
        work();
}

namespace detail {

void HTTPTransfer::Abort() {
    Stopping.Stop();
    Progress->Stop();
    // From here the worker starts no write or sync of the output file.
    std::shared_ptr<TvuBodySink> data;
    {
        const auto guard = LockData();
        data = Data;
    }
    OutputBusy = data && data->Halt(kQuietWait);
}

void HTTPTransfer::Detach() {
    Stopping.LetGoOfOwner();
}

std::unique_lock<std::mutex> HTTPTransfer::LockData() {
    // A progress handler (which may read or let go of the data) runs while its delivery holds
    // the lock already.
    std::unique_lock<std::mutex> guard(DataLock, std::defer_lock);
    if (!Delivering)
        guard.lock();
    return guard;
}

QIODevice* HTTPTransfer::DataDevice() {
    const auto guard = LockData();
    return Data ? Data->Device() : nullptr;
}

std::shared_ptr<TvuBodySink> HTTPTransfer::TakeData() {
    const auto guard = LockData();
    Released = true;
    return std::move(Data);
}

bool HTTPTransfer::ReleaseData() {
    const std::shared_ptr<TvuBodySink> data = TakeData();
    if (!data)
        return false;
    data->Close();
    return data->IsFile();
}

void HTTPTransfer::LetGo(bool removeOutput) {
    const std::shared_ptr<TvuBodySink> data = TakeData();
    if (!data || !data->IsFile()) {
        if (data)
            data->Close();
        return;
    }
    const bool busy = OutputBusy;
    auto discard = [data, removeOutput, busy] {
        auto& file = static_cast<TvuFileSink&>(*data);
        file.Close();
        // Once the worker is out of its write, the name may belong to a new download already:
        // only the file this was goes, and with it its record.
        if (removeOutput && (file.Remove() || !busy))
            TvuResumeRecord::Remove(file.Path());
    };
    if (busy)
        Stopping.LeaveToWorker(discard);
    else
        discard();
}

} // namespace detail
} // namespace vu
