#include "upgrade/http/vuCurlRequest.h"

#include "upgrade/http/vuHTTPStatus.h"
#include "upgrade/http/vuProxyAddress.h"
#include "upgrade/http/vuRequestLimits.h"
#include "upgrade/http/vuResponseHeaders.h"
#include "upgrade/http/vuURLParts.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

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

} // namespace

namespace detail {

struct CurlRequestState {
    TvuCurlRequestOptions Options;
    TvuCurlRequestListener* Listener = nullptr;
    CURL* Easy = nullptr;
    CURLM* Multi = nullptr;
    curl_slist* HeaderList = nullptr;
    // Guards Multi against Abort from another thread (curl_multi_wakeup may be called from any
    // thread while the handle is in use, not while it is freed). Never held across a libcurl call
    // that may close a connection: that reports to the listener, which takes the transfer's lock,
    // and an abort holds that lock while it takes this one.
    std::mutex MultiLock;
    std::atomic<bool> AbortFlag{false};

    QByteArray Username, Password;
    QByteArray ProxyUsername, ProxyPassword;
    QByteArray OriginalOrigin;
    QByteArray CurrentURL;

    // Per response: its header block, and its status (from libcurl once it has one).
    TvuResponseHeaders Headers;
    qint32 Status = -1;
    // Per hop.
    bool ResponseSeen = false;
    bool Delivered = false;
    bool RedirectHop = false;
    QByteArray RedirectTarget;
    bool Stopped = false;
    bool RequestSentReported = false;
    // Per Send.
    bool SocketOpenedSinceRequest = false;
    bool TimedOut = false;
    TvuRequestLimits Limits;
    CURLcode Result = CURLE_OK;
    long OsError = 0;
    char ErrorText[CURL_ERROR_SIZE] = {0};
    int Hops = 0;

    void status(quint32 code, const QByteArray& info = {}) {
        if (Listener != nullptr)
            Listener->Status(code, info);
    }

    // Decides, when a hop's headers are complete, whether it is a redirect to follow.
    void decideRedirect() {
        RedirectHop = false;
        if (!isRedirectStatus(Status) || Hops >= Options.MaxRedirects)
            return;
        QByteArray location;
        if (!Headers.Query("Location", location) || location.isEmpty())
            return;
        RedirectHop = ResolveRedirect(CurrentURL, location, RedirectTarget);
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
        Limits.Touch(); // time spent in the listener does not count as a stall
        Limits.RestartWindow();
        return true;
    }

    void resetResponse() {
        Headers.Clear();
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
    s->Limits.Touch(n);
    switch (s->Headers.Add(QByteArray(data, static_cast<qsizetype>(n)))) {
    case TvuResponseHeaders::Line::Status:
        if (!s->RequestSentReported) {
            s->RequestSentReported = true;
            s->status(vuStatusRequestSent);
        }
        s->Status = s->Headers.Status();
        s->ResponseSeen = true;
        s->status(vuStatusReceivingResponse);
        break;
    case TvuResponseHeaders::Line::End:
        s->status(s->Status >= 100 && s->Status < 200 ? vuStatusIntermediateResponse
                                                      : vuStatusResponseReceived);
        break;
    case TvuResponseHeaders::Line::Header:
    case TvuResponseHeaders::Line::Ignored:
        break;
    }
    return n;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* s = static_cast<CurlRequestState*>(user);
    const size_t n = size * count;
    if (s->AbortFlag.load(std::memory_order_relaxed))
        return CURL_WRITEFUNC_ERROR;
    s->Limits.Touch(n);
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
    s->Limits.Touch();
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
    s->Limits.Connect();
    s->status(vuStatusSendingRequest);
    return CURL_PREREQFUNC_OK;
}

} // namespace

void CurlRequestState::applyHop() {
    curl_easy_setopt(Easy, CURLOPT_URL, CurrentURL.constData());
    const bool sameOrigin = OriginOf(CurrentURL) == OriginalOrigin;
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
            Limits.Exclude(spent);
            if (!carryOn) {
                Stopped = true;
                result = CURLE_WRITE_ERROR;
                brokeOff = true;
                break;
            }
        }
        const long long due = Limits.Check(Clock::now());
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
    CURLM* multi = nullptr;
    {
        std::lock_guard<std::mutex> guard(state_->MultiLock);
        multi = std::exchange(state_->Multi, nullptr);
    }
    if (multi != nullptr)
        curl_multi_cleanup(multi);
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
    s.OriginalOrigin = OriginOf(options.URL);
    s.Limits.Configure(options.TotalTimeout, options.StallTimeout, options.MinimumSpeed,
                       options.MinimumSpeedTime);
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

    QByteArray noProxy;
    if (const std::optional<QByteArray> proxy = ProxyOption(options.URL, options.Proxy, noProxy)) {
        curl_easy_setopt(e, CURLOPT_PROXY, proxy->constData()); // copied by libcurl
        if (!proxy->isEmpty()) // also an empty list: the environment's no_proxy does not apply
            curl_easy_setopt(e, CURLOPT_NOPROXY, noProxy.constData());
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
    s.Result = CURLE_OK;
    s.OsError = 0;
    s.ErrorText[0] = '\0';
    s.Limits.StartSend();
    s.resetResponse();
    while (true) {
        if (s.AbortFlag.load())
            return Outcome::Aborted;
        s.ResponseSeen = false;
        s.Delivered = false;
        s.RedirectHop = false;
        s.Stopped = false;
        s.RequestSentReported = false;
        s.resetResponse();
        s.Limits.StartHop();
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
    return state_->Headers.Query(name, value);
}

QByteArray TvuCurlRequest::RawHeaders() const {
    return state_->Headers.Raw();
}

QByteArray TvuCurlRequest::EffectiveURL() const {
    return state_->CurrentURL;
}

bool TvuCurlRequest::TimedOut() const {
    return state_->TimedOut;
}

TvuTransferFailure TvuCurlRequest::Failure() const {
    const auto& s = *state_;
    if (s.TimedOut) {
        TvuTransferFailure failure = LimitFailure(s.Limits.Cause(), s.Limits.Milliseconds());
        failure.Detail = QByteArray(s.ErrorText).trimmed();
        return failure;
    }
    return CurlFailure(s.Result, s.OsError, s.ErrorText, s.Options.ConnectTimeout);
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
