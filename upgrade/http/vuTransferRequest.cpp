// The request steps of a transfer, on the worker: read the address, then fetch the body from a
// local file or from a server, asking the owner for credentials while the server or the proxy
// wants them. Each step that ends the transfer early leaves Success and StatusCode as the
// completion on the GUI thread must see them.
#include "upgrade/http/vuHTTP.h"
#include "upgrade/http/vuHTTPTransfer.h"
#include "upgrade/http/vuResponseHeaders.h"
#include "upgrade/http/vuURLParts.h"

#include <QFile>

namespace vu::detail {

void HTTPTransfer::Transfer() {
    BeginRun();

    // An abandoned run (Abort, a new Read, destruction) stops its request at once.
    std::stop_callback onStop(TvuEventThread::CurrentStopToken(), [this] {
        Stopping.Stop();
        Progress->Stop();
    });
    if (Stopping.Stopped())
        return;

    TvuURLParts url;
    if (!CrackURL(Settings.URL, url))
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
            Resume.Restart(Settings.OutputFile);
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
    std::vector<char> readBuffer(static_cast<size_t>(Settings.TransferBufferSize));
    while (opened && !Stopping.Stopped()) {
        const qint64 n = local.read(readBuffer.data(), Settings.TransferBufferSize);
        if (n <= 0 || !Store(readBuffer.data(), static_cast<size_t>(n)))
            break;
    }
    if (Stopping.Stopped())
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
    RangeRequested = !Settings.Range.HeaderLine().isEmpty();
    Resume.Prepare(Settings.OutputFile, Settings.URL, Settings.ResumeOutput && !RangeRequested);

    // The request is published before it does anything, so that an abort can always reach it.
    Request = std::make_shared<TvuCurlRequest>();
    if (!Stopping.Publish(Request))
        return FetchResult::Ended;
    if (!Request->Open(RequestOptions(url), this))
        return FetchResult::Ended;
    // From here on a transfer that stops early without a failure of its own (a cancelled header
    // event, an output file that cannot be made) ends with Success set.
    Success = true;
    if (!Settings.ProxyUsername.isEmpty() || !Settings.ProxyPassword.isEmpty())
        Request->SetProxyCredentials(Settings.ProxyUsername, Settings.ProxyPassword);

    if (!SendAskingCredentials(*Request, outcome))
        return FetchResult::Ended;
    if (Resume.StartingOver() && !Stopping.Stopped())
        return FetchResult::StartOver;
    if (outcome == TvuCurlRequest::Outcome::Stopped) {
        if (!Continue || OutputFailed || Stopping.Stopped())
            return FetchResult::Ended; // cancelled, or no output could be made (Success stays)
        if (WriteFailed || TooLarge) {
            Success = false;
            return FetchResult::Ended;
        }
    }
    return FetchResult::Body;
}

// Everything the request is sent with, from the settings taken when the transfer started.
TvuCurlRequestOptions HTTPTransfer::RequestOptions(const TvuURLParts& url) const {
    // Credentials written into the URL take the place of the component's.
    const QByteArray user = url.HasUserName ? url.UserName : Username;
    const QByteArray password = url.HasPassword ? url.Password : Password;
    TvuCurlRequestOptions options;
    options.URL = url.BareURL;
    options.HasCredentials = !user.isEmpty() || !password.isEmpty();
    options.Username = user;
    options.Password = password;
    options.UserAgent = Settings.UserAgent;
    options.Accept = Settings.AcceptTypes;
    options.Headers = Settings.ExtraHeaders;
    if (RangeRequested) {
        // The range line is sent as one header line of its own, without its line end.
        options.Headers.append(Settings.Range.HeaderLine().trimmed());
    }
    options.Headers.append(Resume.RequestHeaders());
    options.NoCache = !Settings.CacheAllowed;
    options.Proxy = Settings.Proxy;
    // Stored time-outs of 0 leave the component's own limits in force, never none at all.
    const TvuHTTPTimeouts& timeouts = Settings.Timeouts;
    const TvuTransferLimits& limits = Settings.Limits;
    options.ConnectTimeout =
        timeouts.ConnectTimeout != 0 ? timeouts.ConnectTimeout : limits.ConnectLimit;
    options.StallTimeout = timeouts.ReceiveTimeout != 0 ? timeouts.ReceiveTimeout
                           : timeouts.SendTimeout != 0  ? timeouts.SendTimeout
                                                        : limits.StallLimit;
    options.MinimumSpeed = limits.MinimumSpeed;
    options.MinimumSpeedTime = limits.MinimumSpeedTime;
    options.TotalTimeout = limits.TotalLimit;
    options.CAFile = Settings.CertificateAuthorityFile.toLocal8Bit();
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
        if (outcome == TvuCurlRequest::Outcome::Aborted || Stopping.Stopped())
            return false;
        if (outcome == TvuCurlRequest::Outcome::NoResponse) {
            Success = false;
            return false;
        }
        if (!Holding)
            return true;
        Holding = false;
        AskForCredentials(request);
        if (Stopping.Stopped())
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
        // The realm is kept in ContentType, which the body's own content type replaces later.
        QByteArray header;
        ContentType = request.Query("WWW-Authenticate", header) ? RealmOf(header) : QByteArray();
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
            Settings.ProxyUsername = o.ProxyUsername();
            Settings.ProxyPassword = o.ProxyPassword();
        });
        request.SetProxyCredentials(Settings.ProxyUsername, Settings.ProxyPassword);
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

} // namespace vu::detail
