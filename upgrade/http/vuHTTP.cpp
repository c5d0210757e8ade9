#include "upgrade/http/vuHTTP.h"

#include "upgrade/http/vuHTTPTransfer.h"
#include "upgrade/http/vuProxyAddress.h"
#include "upgrade/http/vuURLParts.h"
#include "upgrade/utils/vuUtils.h"

namespace vu {

using detail::HTTPTransfer;

// TvuCustomHTTP is the facade of a transfer (vuHTTPTransfer.h): it keeps the settings, starts a
// transfer per Read on its worker, reports the outcome on the GUI thread and shows the state of
// the current (or last) transfer.

TvuCustomHTTP::TvuCustomHTTP(QObject* owner)
    : TvuLoginComponent(owner), worker_(new TvuCustomThread(this)) {}

TvuCustomHTTP::~TvuCustomHTTP() {
    BeginDestroy();
    if (transfer_) {
        transfer_->Abort();
        transfer_->Detach();
    }
    if (worker_->Running())
        worker_->Terminate(true);
    if (transfer_)
        transfer_->LetGo(false);
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
    const auto t =
        HTTPTransfer::Make(this, settings_,
                           {static_cast<bool>(OnHeaderInfo), static_cast<bool>(OnTransferProgress),
                            static_cast<bool>(OnAuthorizationRequest),
                            static_cast<bool>(OnProxyAuthenticationRequest)});
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

// The worker is abandoned, not waited for: it stops at its next step by itself. A transfer stopped
// before its completion is no success and leaves no partial output file behind; once the
// completion runs (its handlers may call this), the outcome stands.
void TvuCustomHTTP::Abort() {
    const auto t = transfer_;
    if (t)
        t->Abort();
    const bool running = Transferring();
    if (running)
        worker_->Terminate(true);
    if (t)
        t->Detach();
    if (running && !Destroying())
        DoTransferAborted();
    busy_ = false;
    if (!t)
        return;
    const bool stoppedEarly = running && !t->CompletionStarted;
    if (stoppedEarly)
        t->Aborted = true;
    t->LetGo(stoppedEarly);
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
    return URLToFileName(QString::fromLocal8Bit(settings_.URL));
}

QByteArray TvuCustomHTTP::ProxyName() const {
    const std::optional<TvuURLParts> proxy = ProxyFor(settings_.URL, settings_.Proxy);
    return proxy ? ProxyDisplayName(*proxy) : QByteArray();
}

QByteArray TvuCustomHTTP::URLHostName() const {
    TvuURLParts parts;
    return CrackURL(settings_.URL, parts) ? parts.HostName : QByteArray();
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
    // The stream as it is when each event is raised (a handler may release it).
    auto stream = [&t] { return t->DataDevice(); };
    if (stream() != nullptr && stream()->isOpen())
        stream()->seek(0);
    bool deleteFile = false;
    const QString outputFile = t->Settings.OutputFile;
    // A handler that calls Abort lets the transfer go: nothing more of it is raised then.
    auto live = [&t] { return t->Stopping.Owner() != nullptr; };
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
                DoDone(stream());
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
                DoConnectionLost(stream());
            } else if (t->StatusCode == -1) {
                DoServerUnreachable();
            } else {
                DoHTTPError(stream());
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

// ---- State -------------------------------------------------------------------------------------

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
    return transfer_ ? transfer_->DataDevice() : nullptr;
}

// ---- Hooks -------------------------------------------------------------------------------------

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
        OnProxyAuthenticationRequest(this, settings_.ProxyUsername, settings_.ProxyPassword,
                                     tryAgain);
}

} // namespace vu
