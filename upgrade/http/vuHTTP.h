// TvuCustomHTTP: a non-visual component that fetches one address at a time ("http", "https" or
// "file") on a worker thread and reports on the GUI thread through events, the body either in a
// memory stream or in an output file.
//
// Every transfer ends in exactly one outcome, reported on the GUI thread by the completion:
//   done               OnDone (no stream when the body went to OutputFile: the file is closed)
//   cancelled          OnCancelled (OnHeaderInfo cleared Continue; no body read, no file made)
//   connection lost    OnTransferFailed, OnConnectionLost (status 200, body incomplete)
//   server unreachable OnTransferFailed, OnServerUnreachable (no HTTP status at all)
//   HTTP error         OnTransferFailed, OnHTTPError (any other status; the error page in Data)
//   not stored         OnTransferFailed alone (StorageFailed: the output file could not be
//                      created, written or synced; a body for a file never goes to memory)
// and a partial output file is deleted. An output file counts as done only once its data has
// been synced to the disk and the file closed without error; BytesRead counts stored bytes. Busy is
// cleared on every path. Abort() stops a running transfer at once (OnTransferAborted, then
// ReleaseData); nothing of that transfer is raised after.
//
// While a transfer runs: OnHeaderInfo (once the headers are in, before any body byte is stored),
// OnAuthorizationRequest (status 401) and OnProxyAuthenticationRequest (status 407) run on the GUI
// thread while the worker waits. OnTransferProgress comes once for every chunk of at most
// TransferBufferSize bytes, in order, on the GUI thread; the worker does not wait for it but goes
// on receiving, and the events reach the GUI thread in batches (at most one hand-over per 16 ms,
// the last before the outcome), so Data may already hold more than an event's BytesRead. A
// handler that aborts stops the transfer at its event. OnStatus and OnRedirected run on the
// worker thread: their handlers must not touch windows.
//
// Streams passed in Data belong to the component: read them during the event only.
//
// Derived components (the upgrader) either assign the events or override the protected Do*
// hooks; each hook is called at the moment its event is due and by default raises the event when
// it is assigned. Whether OnHeaderInfo, OnTransferProgress, OnAuthorizationRequest and
// OnProxyAuthenticationRequest are assigned also decides whether the transfer collects headers,
// computes statistics, and asks for credentials, so a derived component that wants them assigns
// those events.
#pragma once

#include "upgrade/http/vuTransferFailure.h"
#include "upgrade/http/vuTransferLimits.h"
#include "upgrade/http/vuTransferSettings.h"
#include "upgrade/http/vuTransferStatistics.h"
#include "upgrade/utils/vuDateTime.h"
#include "upgrade/utils/vuHTTPSettings.h"
#include "upgrade/utils/vuThread.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;

namespace vu {

// ---- Event types -------------------------------------------------------------------------------

using TvuHTTPNotifyEvent = std::function<void(QObject* Sender)>;
using TvuHTTPHeaderInfoEvent = std::function<void(
    QObject* Sender, qint32 StatusCode, const QByteArray& RawHeaders, const QByteArray& ContentType,
    const QByteArray& ContentLanguage, const QByteArray& ContentEncoding,
    const QByteArray& Location, quint32 ContentLength, TDateTime Date, TDateTime LastModified,
    TDateTime Expires, bool& Continue)>;
using TvuHTTPDoneEvent = std::function<void(QObject* Sender, const QByteArray& ContentType,
                                            quint32 DataSize, QIODevice* Data)>;
using TvuHTTPProgressEvent =
    std::function<void(QObject* Sender, const QByteArray& ContentType, quint32 ContentLength,
                       quint32 BytesRead, qint32 ElapsedTime, qint32 EstimatedTimeLeft,
                       quint8 PercentsDone, float TransferRate, QIODevice* Data)>;
using TvuHTTPStatusEvent =
    std::function<void(QObject* Sender, quint32 StatusCode, const QByteArray& StatusText)>;
using TvuHTTPRedirectedEvent = std::function<void(QObject* Sender, const QByteArray& NewURL)>;
using TvuHTTPConnectionLostEvent =
    std::function<void(QObject* Sender, const QByteArray& ContentType, quint32 ContentLength,
                       quint32 BytesRead, QIODevice* Data)>;
using TvuHTTPErrorEvent = std::function<void(QObject* Sender, qint32 StatusCode, QIODevice* Data)>;

namespace detail {
struct HTTPTransfer;
}

class TvuCustomHTTP : public TvuLoginComponent {
    Q_OBJECT
public:
    explicit TvuCustomHTTP(QObject* owner = nullptr);
    // Abandons a running transfer (no event is raised) and frees everything.
    ~TvuCustomHTTP() override;

    // ---- Settings (read at the start of each transfer) ---------------------------------------
    QByteArrayList& ExtraHeaders() { return settings_.ExtraHeaders; } // extra request header lines
    const QByteArrayList& ExtraHeaders() const { return settings_.ExtraHeaders; }
    QByteArray AcceptTypes() const { return settings_.AcceptTypes; }
    void SetAcceptTypes(const QByteArray& value) { settings_.AcceptTypes = value; }
    QByteArray UserAgent() const { return settings_.UserAgent; }
    void SetUserAgent(const QByteArray& value) { settings_.UserAgent = value; }
    // When set, the body goes to this file (created afresh); when empty, into memory.
    QString OutputFile() const { return settings_.OutputFile; }
    void SetOutputFile(const QString& value) { settings_.OutputFile = value; }
    // Linux has no hidden or temporary file attributes: a hidden output file is created readable
    // and writable by its owner only.
    bool HideOutputFile() const { return settings_.HideOutputFile; }
    void SetHideOutputFile(bool value) { settings_.HideOutputFile = value; }
    // When set, a download into OutputFile that breaks off keeps its partial file, with the
    // server's validator in OutputFile + ".resume"; the next transfer of the same URL into it asks
    // for the rest (Range, If-Range) and appends on 206, starting over on 200 or 416. A resumed
    // transfer counts the whole file: ContentLength is the file's length and BytesRead starts at
    // the bytes already there. Not with a Range of the owner's.
    bool ResumeOutput() const { return settings_.ResumeOutput; }
    void SetResumeOutput(bool value) { settings_.ResumeOutput = value; }
    QByteArray URL() const { return settings_.URL; }
    void SetURL(const QByteArray& value) { settings_.URL = value; }
    TvuHTTPRange* Range() { return &settings_.Range; }
    TvuHTTPTimeouts* Timeouts() { return &settings_.Timeouts; }
    // Limits every transfer keeps (vuTransferLimits.h), also when the time-outs are 0.
    TvuTransferLimits& Limits() { return settings_.Limits; }
    TvuBufferSize TransferBufferSize() const { return settings_.TransferBufferSize; }
    void SetTransferBufferSize(TvuBufferSize value) { settings_.TransferBufferSize = value; }
    TvuHTTPProxy* Proxy() { return &settings_.Proxy; }
    const TvuHTTPProxy* Proxy() const { return &settings_.Proxy; }
    // There is no local cache: false only adds the no-cache request headers.
    bool CacheAllowed() const { return settings_.CacheAllowed; }
    void SetCacheAllowed(bool value) { settings_.CacheAllowed = value; }
    // Certificates (PEM file) trusted for https instead of the system's; empty = the system's.
    QString CertificateAuthorityFile() const { return settings_.CertificateAuthorityFile; }
    void SetCertificateAuthorityFile(const QString& value) {
        settings_.CertificateAuthorityFile = value;
    }
    TThreadPriority ThreadPriority() const;
    void SetThreadPriority(TThreadPriority value);

    // ---- Operations -----------------------------------------------------------------------------
    // False when Busy; otherwise sets Busy, starts the transfer on the worker and returns true.
    bool Read();
    // Stops a running transfer at once, whatever has been received: OnTransferAborted (unless
    // the component is being destroyed), then ReleaseData; a partial output file is deleted and
    // Success reads false. Also releases the data of a finished transfer.
    void Abort();
    // Frees the transfer buffer and Data (closing an output file) and clears Busy.
    void ReleaseData();
    // True while a transfer runs on the worker.
    bool Transferring() const;
    bool Busy() const { return busy_; }
    QString URLFileName() const;
    // Host name part of URL; empty when the URL cannot be cracked.
    QByteArray URLHostName() const;

    // ---- State of the last transfer (valid in its events and after its completion) -------------
    qint32 StatusCode() const;
    bool Success() const;
    // The body could not be stored in OutputFile (it could not be created, a write failed, or
    // the data could not be synced to the disk). Such a transfer ends in OnTransferFailed alone.
    bool StorageFailed() const;
    // The body was longer than Limits().MaxBodySize (announced or received); such a transfer
    // ends as an HTTP error of its status, without data.
    bool BodyTooLarge() const;
    // Why the last transfer got no answer or broke off: its name could not be resolved, the
    // connection was refused, a limit ran out, the certificate could not be verified.
    TvuTransferFailure Failure() const;
    // The proxy the last transfer's address goes through ("host:port", credentials left out);
    // empty when it goes directly.
    QByteArray ProxyName() const;
    QByteArray RawHeaders() const;
    QByteArray ContentType() const;
    QByteArray ContentLanguage() const;
    QByteArray ContentEncoding() const;
    QByteArray Location() const;
    TDateTime Date() const;
    TDateTime LastModified() const;
    TDateTime Expires() const;
    quint32 ContentLength() const;
    quint32 BytesRead() const;
    quint8 PercentsDone() const;
    qint32 ElapsedTime() const;
    qint32 EstimatedTimeLeft() const;
    float TransferRate() const;
    QByteArray ProxyUsername() const { return settings_.ProxyUsername; }
    void SetProxyUsername(const QByteArray& value) { settings_.ProxyUsername = value; }
    QByteArray ProxyPassword() const { return settings_.ProxyPassword; }
    void SetProxyPassword(const QByteArray& value) { settings_.ProxyPassword = value; }
    // The body stream of the last transfer; null when none (or released).
    QIODevice* Data() const;

    // ---- Events, in the order of their slots --------------------------------------------------
    TvuHTTPHeaderInfoEvent OnHeaderInfo;
    TvuHTTPDoneEvent OnDone;
    TvuHTTPNotifyEvent OnCancelled;
    TvuHTTPProgressEvent OnTransferProgress;
    TvuHTTPStatusEvent OnStatus;
    TvuHTTPRedirectedEvent OnRedirected;
    TvuHTTPNotifyEvent OnTransferFailed;
    TvuHTTPNotifyEvent OnTransferAborted;
    TvuHTTPConnectionLostEvent OnConnectionLost;
    TvuHTTPNotifyEvent OnServerUnreachable;
    TvuHTTPErrorEvent OnHTTPError;
    TvuHTTPPasswordRequestEvent OnAuthorizationRequest;
    TvuHTTPProxyAuthenticationEvent OnProxyAuthenticationRequest;

    // The worker component (for tests and the benchmark).
    TvuCustomThread* Worker() const { return worker_; }

protected:
    // Hooks, each raising its event when assigned. GUI thread unless said otherwise.
    virtual void DoHeaderInfo(bool& continueTransfer);
    virtual void DoDone(QIODevice* data);
    virtual void DoCancelled();
    virtual void DoTransferProgress(QIODevice* data);
    virtual void DoStatus(quint32 statusCode, const QByteArray& statusText); // worker thread
    virtual void DoRedirected(const QByteArray& newURL);                     // worker thread
    virtual void DoTransferFailed();
    virtual void DoTransferAborted();
    virtual void DoConnectionLost(QIODevice* data);
    virtual void DoServerUnreachable();
    virtual void DoHTTPError(QIODevice* data);
    virtual void DoAuthorizationRequest(const QByteArray& realm, bool& tryAgain);
    virtual void DoProxyAuthenticationRequest(bool& tryAgain);

private:
    friend struct detail::HTTPTransfer;
    void FailureReport(TvuCustomThread* sender); // GUI: an exception on the worker
    void Completion(TvuCustomThread* sender);    // GUI: the end of a run
    TvuTransferStatistics ShownStatistics() const;

    TvuTransferSettings settings_;
    bool busy_ = false;
    TvuCustomThread* worker_ = nullptr;
    // The state of the current (or last) transfer, shared with its worker.
    std::shared_ptr<detail::HTTPTransfer> transfer_;
};

} // namespace vu
