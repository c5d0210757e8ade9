#include "upgrade/http/vuCurlRequest.h"

#include "upgrade/http/vuHTTPStatus.h"
#include "upgrade/http/vuURLParts.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace vu {

namespace {

using Clock = std::chrono::steady_clock;

// libcurl wants its global set-up once before any thread uses it.
void ensureCurlInitialised() {
    static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    Q_UNUSED(done);
}

bool isRedirectStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// ProxyBypass lists hosts separated by ';' (also ',' or blanks); libcurl wants commas. "*.x"
// becomes "x" (libcurl matches a name and everything below it); "<local>" stands for host names
// without a dot, which libcurl cannot express: the caller handles it.
QByteArray bypassList(const QByteArray& text, bool& local) {
    local = false;
    QByteArray list;
    QByteArray normalised = text;
    normalised.replace(';', ' ').replace(',', ' ').replace('\t', ' ');
    for (QByteArray item : normalised.split(' ')) {
        item = item.trimmed();
        if (item.isEmpty())
            continue;
        if (item.compare("<local>", Qt::CaseInsensitive) == 0) {
            local = true;
            continue;
        }
        if (item.startsWith("*."))
            item = item.mid(2);
        if (!list.isEmpty())
            list += ',';
        list += item;
    }
    return list;
}

QByteArray origin(const QByteArray& url) {
    TvuURLParts p;
    if (!CrackURL(url, p))
        return {};
    return p.Scheme + "://" + p.HostName.toLower() + ":" + QByteArray::number(p.Port);
}

} // namespace

namespace detail {

struct CurlRequestState {
    TvuCurlRequestOptions Options;
    TvuCurlRequestListener* Listener = nullptr;
    CURL* Easy = nullptr;
    CURLM* Multi = nullptr;
    curl_slist* HeaderList = nullptr;
    std::mutex MultiLock; // guards Multi against Abort from another thread
    std::atomic<bool> AbortFlag{false};

    QByteArray Username, Password;
    QByteArray ProxyUsername, ProxyPassword;
    QByteArray OriginalOrigin;
    QByteArray CurrentURL;

    // Per response.
    qint32 Status = -1;
    QList<QByteArray> HeaderLines; // status line first, without line ends
    bool HeaderBlockDone = false;
    // Per hop.
    bool ResponseSeen = false;
    bool Delivered = false;
    bool RedirectHop = false;
    QByteArray RedirectTarget;
    bool Stopped = false;
    bool RequestSentReported = false;
    // Per Send.
    bool SocketOpenedSinceRequest = false;
    bool Connected = false;
    bool TimedOut = false;
    TvuFailureCause LimitCause = TvuFailureCause::None; // which of our limits ended it
    quint32 LimitMs = 0;
    CURLcode Result = CURLE_OK;
    long OsError = 0;
    char ErrorText[CURL_ERROR_SIZE] = {0};
    Clock::time_point SendStart;
    Clock::time_point LastActivity;
    int Hops = 0;

    void status(quint32 code, const QByteArray& info = {}) {
        if (Listener != nullptr)
            Listener->Status(code, info);
    }

    // Bytes received since the minimum-speed window began.
    quint64 WindowBytes = 0;
    Clock::time_point WindowStart;

    void touch() { LastActivity = Clock::now(); }
    void received(size_t n) { WindowBytes += n; }
    // Starts the minimum-speed window afresh (on connecting, and after the listener held the
    // transfer, which is no fault of the server's).
    void restartWindow() {
        WindowBytes = 0;
        WindowStart = Clock::now();
    }
    // Milliseconds until the next limit falls due, or -1 when one has been crossed (LimitCause
    // and LimitMs then say which). The stall and speed limits count only once connected.
    long long checkLimits(Clock::time_point now);
    long long crossed(TvuFailureCause cause, quint32 ms) {
        LimitCause = cause;
        LimitMs = ms;
        return -1;
    }

    bool lastHeader(const QByteArray& name, QByteArray& value) const {
        for (qsizetype i = 1; i < HeaderLines.size(); ++i) {
            const QByteArray& line = HeaderLines[i];
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            if (line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
                value = line.mid(colon + 1).trimmed();
                return true;
            }
        }
        return false;
    }

    // Decides, when a hop's headers are complete, whether it is a redirect to follow.
    void decideRedirect() {
        RedirectHop = false;
        if (!isRedirectStatus(Status) || Hops >= Options.MaxRedirects)
            return;
        QByteArray location;
        if (!lastHeader("Location", location) || location.isEmpty())
            return;
        CURLU* u = curl_url();
        if (u == nullptr)
            return;
        char* text = nullptr;
        if (curl_url_set(u, CURLUPART_URL, CurrentURL.constData(), 0) == CURLUE_OK &&
            curl_url_set(u, CURLUPART_URL, location.constData(),
                         CURLU_ALLOW_SPACE | CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
            curl_url_set(u, CURLUPART_FRAGMENT, nullptr, 0);
            char* scheme = nullptr;
            if (curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK) {
                const QByteArray s = QByteArray(scheme).toLower();
                curl_free(scheme);
                // A secure transfer never continues in the clear: a redirect from https to
                // http is not followed and its answer ends the transfer as an error status.
                const bool downgrade = s == "http" && CurrentURL.toLower().startsWith("https:");
                if ((s == "http" || s == "https") && !downgrade &&
                    curl_url_get(u, CURLUPART_URL, &text, 0) == CURLUE_OK) {
                    RedirectTarget = text;
                    RedirectHop = true;
                    curl_free(text);
                }
            }
        }
        curl_url_cleanup(u);
    }

    // The final response's headers are complete: tell the listener once per hop.
    bool deliverHeaders() {
        if (Delivered)
            return !Stopped;
        Delivered = true;
        decideRedirect();
        if (RedirectHop)
            return true;
        if (!Listener->HeadersIn()) {
            Stopped = true;
            return false;
        }
        touch(); // time spent in the listener does not count as a stall
        restartWindow();
        return true;
    }

    void resetResponse() {
        HeaderLines.clear();
        HeaderBlockDone = false;
        Status = -1;
    }

    void applyHop();
    CURLcode runMulti();
};

namespace {

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* s = static_cast<CurlRequestState*>(user);
    const size_t n = size * count;
    if (s->AbortFlag.load(std::memory_order_relaxed))
        return 0;
    s->touch();
    s->received(n);
    QByteArray line(data, static_cast<qsizetype>(n));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.startsWith("HTTP/")) {
        if (!s->RequestSentReported) {
            s->RequestSentReported = true;
            s->status(vuStatusRequestSent);
        }
        s->resetResponse();
        s->HeaderLines.append(line);
        const QList<QByteArray> words = line.split(' ');
        bool ok = false;
        const int code = words.size() > 1 ? words[1].toInt(&ok) : 0;
        s->Status = ok ? code : 0;
        s->ResponseSeen = true;
        s->status(vuStatusReceivingResponse);
        return n;
    }
    if (s->HeaderBlockDone || s->HeaderLines.isEmpty())
        return n; // trailers after the body
    if (line.isEmpty()) {
        s->HeaderBlockDone = true;
        if (s->Status >= 100 && s->Status < 200)
            s->status(vuStatusIntermediateResponse);
        else
            s->status(vuStatusResponseReceived);
        return n;
    }
    if ((line.startsWith(' ') || line.startsWith('\t')) && s->HeaderLines.size() > 1)
        s->HeaderLines.last() += ' ' + line.trimmed(); // folded continuation line
    else
        s->HeaderLines.append(line);
    return n;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* s = static_cast<CurlRequestState*>(user);
    const size_t n = size * count;
    if (s->AbortFlag.load(std::memory_order_relaxed))
        return CURL_WRITEFUNC_ERROR;
    s->touch();
    s->received(n);
    if (!s->deliverHeaders())
        return CURL_WRITEFUNC_ERROR;
    if (s->RedirectHop)
        return n; // the body of a redirect is not wanted
    if (!s->Listener->Body(data, n)) {
        s->Stopped = true;
        return CURL_WRITEFUNC_ERROR;
    }
    if (s->AbortFlag.load(std::memory_order_relaxed))
        return CURL_WRITEFUNC_ERROR;
    s->touch();
    return n;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* s = static_cast<CurlRequestState*>(user);
    return s->AbortFlag.load(std::memory_order_relaxed) ? 1 : 0;
}

int onResolverStart(void*, void*, void* user) {
    auto* s = static_cast<CurlRequestState*>(user);
    TvuURLParts p;
    CrackURL(s->CurrentURL, p);
    s->status(vuStatusResolvingName, p.HostName);
    return s->AbortFlag.load() ? 1 : 0;
}

curl_socket_t onOpenSocket(void* user, curlsocktype purpose, curl_sockaddr* address) {
    auto* s = static_cast<CurlRequestState*>(user);
    if (purpose != CURLSOCKTYPE_IPCXN || s->AbortFlag.load())
        return CURL_SOCKET_BAD;
    char text[INET6_ADDRSTRLEN] = {0};
    if (address->family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&address->addr)->sin_addr, text,
                  sizeof text);
    else if (address->family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&address->addr)->sin6_addr, text,
                  sizeof text);
    s->status(vuStatusNameResolved, QByteArray(text));
    s->status(vuStatusConnectingToServer, QByteArray(text));
    const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd >= 0)
        s->SocketOpenedSinceRequest = true;
    return fd >= 0 ? fd : CURL_SOCKET_BAD;
}

int onCloseSocket(void* user, curl_socket_t fd) {
    auto* s = static_cast<CurlRequestState*>(user);
    s->status(vuStatusClosingConnection);
    const int rc = ::close(fd);
    s->status(vuStatusConnectionClosed);
    return rc;
}

int onPrereq(void* user, char*, char*, int, int) {
    auto* s = static_cast<CurlRequestState*>(user);
    if (s->AbortFlag.load())
        return CURL_PREREQFUNC_ABORT;
    if (s->SocketOpenedSinceRequest)
        s->status(vuStatusConnected);
    s->SocketOpenedSinceRequest = false;
    s->Connected = true;
    s->touch();
    s->restartWindow();
    s->status(vuStatusSendingRequest);
    return CURL_PREREQFUNC_OK;
}

} // namespace

void CurlRequestState::applyHop() {
    curl_easy_setopt(Easy, CURLOPT_URL, CurrentURL.constData());
    const bool sameOrigin = origin(CurrentURL) == OriginalOrigin;
    if (Options.HasCredentials && sameOrigin) {
        curl_easy_setopt(Easy, CURLOPT_USERNAME, Username.constData());
        curl_easy_setopt(Easy, CURLOPT_PASSWORD, Password.constData());
        curl_easy_setopt(Easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
    } else {
        curl_easy_setopt(Easy, CURLOPT_USERNAME, nullptr);
        curl_easy_setopt(Easy, CURLOPT_PASSWORD, nullptr);
    }
    if (!ProxyUsername.isEmpty() || !ProxyPassword.isEmpty()) {
        curl_easy_setopt(Easy, CURLOPT_PROXYUSERNAME, ProxyUsername.constData());
        curl_easy_setopt(Easy, CURLOPT_PROXYPASSWORD, ProxyPassword.constData());
        curl_easy_setopt(Easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
    }
}

long long CurlRequestState::checkLimits(Clock::time_point now) {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    long long due = 1000;
    if (Options.TotalTimeout != 0) {
        const long long spent = duration_cast<milliseconds>(now - SendStart).count();
        if (spent >= static_cast<long long>(Options.TotalTimeout))
            return crossed(TvuFailureCause::TimeLimit, Options.TotalTimeout);
        due = std::min<long long>(due, Options.TotalTimeout - spent);
    }
    if (!Connected)
        return due;
    if (Options.StallTimeout != 0) {
        const long long idle = duration_cast<milliseconds>(now - LastActivity).count();
        if (idle >= static_cast<long long>(Options.StallTimeout))
            return crossed(TvuFailureCause::NoAnswer, Options.StallTimeout);
        due = std::min<long long>(due, Options.StallTimeout - idle);
    }
    if (Options.MinimumSpeed != 0 && Options.MinimumSpeedTime != 0) {
        const long long span = duration_cast<milliseconds>(now - WindowStart).count();
        if (span >= static_cast<long long>(Options.MinimumSpeedTime)) {
            // The average over the whole window, compared without rounding.
            if (WindowBytes * 1000 <
                static_cast<quint64>(Options.MinimumSpeed) * static_cast<quint64>(span))
                return crossed(TvuFailureCause::TooSlow, Options.MinimumSpeedTime);
            // Fast enough: judge the next window from here.
            restartWindow();
            due = std::min<long long>(due, Options.MinimumSpeedTime);
        } else {
            due = std::min<long long>(due, Options.MinimumSpeedTime - span);
        }
    }
    return due;
}

CURLcode CurlRequestState::runMulti() {
    {
        std::lock_guard<std::mutex> guard(MultiLock);
        curl_multi_add_handle(Multi, Easy);
    }
    CURLcode result = CURLE_OK;
    bool brokeOff = false;
    int running = 1;
    while (true) {
        if (curl_multi_perform(Multi, &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            brokeOff = true;
            break;
        }
        if (running == 0)
            break;
        if (AbortFlag.load()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            brokeOff = true;
            break;
        }
        // Everything that had arrived has been read: the listener may finish what it holds
        // while the request waits. Time spent there is no stall of the server's.
        if (Delivered && !RedirectHop) {
            const Clock::time_point before = Clock::now();
            const bool carryOn = Listener->Idle();
            const Clock::duration spent = Clock::now() - before;
            LastActivity += spent;
            WindowStart += spent;
            if (!carryOn) {
                Stopped = true;
                result = CURLE_WRITE_ERROR;
                brokeOff = true;
                break;
            }
        }
        const long long due = checkLimits(Clock::now());
        if (due < 0) {
            TimedOut = true;
            result = CURLE_OPERATION_TIMEDOUT;
            brokeOff = true;
            break;
        }
        const int waitMs = static_cast<int>(std::clamp<long long>(due, 1, 1000));
        curl_multi_poll(Multi, nullptr, 0, waitMs, nullptr);
    }
    if (!brokeOff) {
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(Multi, &left))
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == Easy)
                result = msg->data.result;
    }
    curl_easy_getinfo(Easy, CURLINFO_OS_ERRNO, &OsError);
    std::lock_guard<std::mutex> guard(MultiLock);
    curl_multi_remove_handle(Multi, Easy);
    Result = result;
    return result;
}

} // namespace detail

TvuCurlRequest::TvuCurlRequest() : state_(std::make_unique<detail::CurlRequestState>()) {
    ensureCurlInitialised();
}

TvuCurlRequest::~TvuCurlRequest() {
    if (state_->Easy != nullptr || state_->Multi != nullptr)
        state_->status(vuStatusHandleClosing);
    {
        std::lock_guard<std::mutex> guard(state_->MultiLock);
        if (state_->Multi != nullptr)
            curl_multi_cleanup(state_->Multi);
        state_->Multi = nullptr;
    }
    if (state_->Easy != nullptr)
        curl_easy_cleanup(state_->Easy);
    curl_slist_free_all(state_->HeaderList);
}

bool TvuCurlRequest::Open(const TvuCurlRequestOptions& options, TvuCurlRequestListener* listener) {
    auto& s = *state_;
    s.Options = options;
    s.Listener = listener;
    s.Username = options.Username;
    s.Password = options.Password;
    s.CurrentURL = options.URL;
    s.OriginalOrigin = origin(options.URL);
    s.Easy = curl_easy_init();
    {
        std::lock_guard<std::mutex> guard(s.MultiLock);
        s.Multi = curl_multi_init();
    }
    if (s.Easy == nullptr || s.Multi == nullptr)
        return false;
    s.status(vuStatusHandleCreated);
    CURL* e = s.Easy;
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.CAFile.isEmpty())
        curl_easy_setopt(e, CURLOPT_CAINFO, s.Options.CAFile.constData());
    curl_easy_setopt(e, CURLOPT_USERAGENT, s.Options.UserAgent.constData());
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, nullptr);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 256L * 1024L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, s.ErrorText);
    if (options.ConnectTimeout != 0)
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.ConnectTimeout));

    if (!options.Accept.isEmpty())
        s.HeaderList = curl_slist_append(s.HeaderList, ("Accept: " + options.Accept).constData());
    if (options.NoCache) {
        s.HeaderList = curl_slist_append(s.HeaderList, "Cache-Control: no-cache");
        s.HeaderList = curl_slist_append(s.HeaderList, "Pragma: no-cache");
    }
    for (const QByteArray& line : options.Headers)
        if (!line.trimmed().isEmpty())
            s.HeaderList = curl_slist_append(s.HeaderList, line.constData());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, s.HeaderList);

    switch (options.Proxy.AccessType) {
    case atPreconfig:
        break; // libcurl reads http_proxy, https_proxy, all_proxy and no_proxy
    case atDirect:
        curl_easy_setopt(e, CURLOPT_PROXY, "");
        break;
    case atUseProxy: {
        bool local = false;
        const QByteArray bypass = bypassList(options.Proxy.ProxyBypass, local);
        TvuURLParts target;
        CrackURL(options.URL, target);
        if (local && !target.HostName.contains('.') && !target.HostName.contains(':')) {
            curl_easy_setopt(e, CURLOPT_PROXY, "");
        } else {
            const QByteArray proxy = "http://" + options.Proxy.ProxyServer + ":" +
                                     QByteArray::number(options.Proxy.ProxyPort);
            curl_easy_setopt(e, CURLOPT_PROXY, proxy.constData());
            curl_easy_setopt(e, CURLOPT_NOPROXY, bypass.constData());
        }
        break;
    }
    }

    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &detail::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &s);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &detail::onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &s);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &detail::onProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &s);
    curl_easy_setopt(e, CURLOPT_RESOLVER_START_FUNCTION, &detail::onResolverStart);
    curl_easy_setopt(e, CURLOPT_RESOLVER_START_DATA, &s);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETFUNCTION, &detail::onOpenSocket);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETDATA, &s);
    curl_easy_setopt(e, CURLOPT_CLOSESOCKETFUNCTION, &detail::onCloseSocket);
    curl_easy_setopt(e, CURLOPT_CLOSESOCKETDATA, &s);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &detail::onPrereq);
    curl_easy_setopt(e, CURLOPT_PREREQDATA, &s);
    return true;
}

void TvuCurlRequest::SetCredentials(const QByteArray& username, const QByteArray& password) {
    state_->Username = username;
    state_->Password = password;
    state_->Options.HasCredentials = !username.isEmpty() || !password.isEmpty();
}

void TvuCurlRequest::SetProxyCredentials(const QByteArray& username, const QByteArray& password) {
    state_->ProxyUsername = username;
    state_->ProxyPassword = password;
}

TvuCurlRequest::Outcome TvuCurlRequest::Send() {
    auto& s = *state_;
    if (s.Easy == nullptr || s.Multi == nullptr)
        return Outcome::NoResponse;
    s.CurrentURL = s.Options.URL;
    s.Hops = 0;
    s.TimedOut = false;
    s.LimitCause = TvuFailureCause::None;
    s.Result = CURLE_OK;
    s.OsError = 0;
    s.ErrorText[0] = '\0';
    s.SendStart = Clock::now();
    s.resetResponse();
    while (true) {
        if (s.AbortFlag.load())
            return Outcome::Aborted;
        s.ResponseSeen = false;
        s.Delivered = false;
        s.RedirectHop = false;
        s.Stopped = false;
        s.RequestSentReported = false;
        s.Connected = false;
        s.resetResponse();
        s.touch();
        s.applyHop();
        const CURLcode rc = s.runMulti();
        if (s.AbortFlag.load())
            return Outcome::Aborted;
        if (s.Stopped)
            return Outcome::Stopped;
        if (!s.ResponseSeen || s.Status <= 0) {
            long connectCode = 0;
            curl_easy_getinfo(s.Easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
            if (connectCode < 300)
                return Outcome::NoResponse;
            s.Status = static_cast<qint32>(connectCode); // a proxy refused the tunnel
        } else if (s.Status >= 100 && s.Status < 200) {
            return Outcome::NoResponse; // nothing but an intermediate answer
        } else {
            long code = 0;
            curl_easy_getinfo(s.Easy, CURLINFO_RESPONSE_CODE, &code);
            if (code >= 200)
                s.Status = static_cast<qint32>(code);
        }
        if (!s.deliverHeaders())
            return Outcome::Stopped;
        if (s.RedirectHop && (rc == CURLE_OK || rc == CURLE_WRITE_ERROR)) {
            ++s.Hops;
            s.CurrentURL = s.RedirectTarget;
            s.status(vuStatusRedirect, s.CurrentURL);
            continue;
        }
        if (rc == CURLE_OK) {
            s.status(vuStatusRequestComplete);
            return Outcome::Complete;
        }
        return Outcome::BodyFailed;
    }
}

qint32 TvuCurlRequest::StatusCode() const {
    return state_->Status;
}

bool TvuCurlRequest::Query(const QByteArray& name, QByteArray& value) const {
    return state_->lastHeader(name, value);
}

QByteArray TvuCurlRequest::RawHeaders() const {
    QByteArray text;
    for (const QByteArray& line : state_->HeaderLines)
        text += line + "\r\n";
    if (!text.isEmpty())
        text += "\r\n";
    return text;
}

QByteArray TvuCurlRequest::EffectiveURL() const {
    return state_->CurrentURL;
}

bool TvuCurlRequest::TimedOut() const {
    return state_->TimedOut;
}

TvuTransferFailure TvuCurlRequest::Failure() const {
    const auto& s = *state_;
    TvuTransferFailure failure;
    failure.Detail = QByteArray(s.ErrorText).trimmed();
    auto seconds = [](quint32 ms) { return (ms + 999) / 1000; };
    if (s.TimedOut) {
        failure.Cause = s.LimitCause;
        failure.Seconds = seconds(s.LimitMs);
        return failure;
    }
    switch (s.Result) {
    case CURLE_OK:
    case CURLE_ABORTED_BY_CALLBACK:
    case CURLE_WRITE_ERROR:
        failure.Detail.clear();
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        failure.Cause = TvuFailureCause::NameNotResolved;
        break;
    case CURLE_COULDNT_CONNECT:
        failure.Cause =
            s.OsError == ECONNREFUSED ? TvuFailureCause::ConnectionRefused : TvuFailureCause::Other;
        break;
    case CURLE_OPERATION_TIMEDOUT:
        // libcurl's own time-out covers resolving, connecting and the TLS handshake.
        failure.Cause = TvuFailureCause::NoAnswer;
        failure.Seconds = seconds(s.Options.ConnectTimeout);
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        failure.Cause = TvuFailureCause::CertificateNotVerified;
        break;
    default:
        failure.Cause = TvuFailureCause::Other;
        break;
    }
    return failure;
}

void TvuCurlRequest::Abort() {
    state_->AbortFlag.store(true);
    std::lock_guard<std::mutex> guard(state_->MultiLock);
    if (state_->Multi != nullptr)
        curl_multi_wakeup(state_->Multi);
}

bool TvuCurlRequest::Aborted() const {
    return state_->AbortFlag.load();
}

} // namespace vu
