// One HTTP or HTTPS GET request on libcurl, driven synchronously on the calling (worker) thread:
// the layer a transfer uses to connect, send, follow redirects, answer authentication, and
// receive the headers and the body of the final response.
//
// Send() runs the request to its end. The listener is told when the final response's headers are
// complete (before any body byte) and then receives the body as it arrives; either call may stop
// the request. Redirects (301, 302, 303, 307, 308 to an http or https address) are followed,
// at most MaxRedirects times; the response that would exceed the limit is delivered as the final
// one. Credentials go only to the origin they were given for. Certificates and host names of
// https servers are always verified.
//
// Abort() may be called from any thread: the request stops promptly, also while it waits for a
// connection or for data.
#pragma once

#include "upgrade/http/vuTransferFailure.h"
#include "upgrade/utils/vuHTTPSettings.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>

namespace vu {

struct TvuCurlRequestOptions {
    QByteArray URL; // absolute http or https address without credentials
    bool HasCredentials = false;
    QByteArray Username;
    QByteArray Password;
    QByteArray UserAgent;
    QByteArray Accept;         // the Accept header; none when empty
    QList<QByteArray> Headers; // complete header lines without line ends
    bool NoCache = false;      // send "Cache-Control: no-cache" and "Pragma: no-cache"
    TvuHTTPProxy Proxy;
    quint32 ConnectTimeout = 0; // milliseconds for resolving, connecting and the TLS handshake
    quint32 StallTimeout = 0;   // milliseconds without a byte moving once connected
    // Once connected, fewer than MinimumSpeed bytes a second on average over any
    // MinimumSpeedTime milliseconds count as a stall; 0 = no minimum.
    quint32 MinimumSpeed = 0;
    quint32 MinimumSpeedTime = 0;
    // Milliseconds for the whole of Send, redirects included; 0 = no limit.
    quint32 TotalTimeout = 0;
    QByteArray CAFile; // trusted certificates (PEM) instead of the system's; empty = system
    int MaxRedirects = 20;
};

class TvuCurlRequestListener {
public:
    virtual ~TvuCurlRequestListener() = default;
    // A status notification (vuHTTPStatus.h) with its information (host, address, new URL).
    virtual void Status(quint32 code, const QByteArray& info) {
        Q_UNUSED(code);
        Q_UNUSED(info);
    }
    // The headers of the final response are in; false stops the request.
    virtual bool HeadersIn() = 0;
    // A piece of the body; false stops the request.
    virtual bool Body(const char* data, size_t size) = 0;
    // After the headers: all that had arrived has been delivered and the request is about to
    // wait for more. False stops the request.
    virtual bool Idle() { return true; }
};

namespace detail {
struct CurlRequestState;
}

class TvuCurlRequest {
public:
    enum class Outcome {
        Complete,   // the final response was received whole
        NoResponse, // no response at all (resolving, connecting, TLS, time-out or send failed)
        BodyFailed, // the headers came but the body broke off (error, stall or bad encoding)
        Stopped,    // the listener stopped it
        Aborted,    // Abort() was called
    };

    TvuCurlRequest();
    // Closes the handles (status "Handle closing").
    ~TvuCurlRequest();
    TvuCurlRequest(const TvuCurlRequest&) = delete;
    TvuCurlRequest& operator=(const TvuCurlRequest&) = delete;

    // Prepares the handles; false when libcurl cannot make them. The listener receives the
    // status notifications from here on ("Handle created" at once).
    bool Open(const TvuCurlRequestOptions& options, TvuCurlRequestListener* listener);
    // Credentials for the next Send (for the origin of the original address).
    void SetCredentials(const QByteArray& username, const QByteArray& password);
    void SetProxyCredentials(const QByteArray& username, const QByteArray& password);

    Outcome Send();

    // Status of the last response, -1 when none was received. A proxy that refused a tunnel
    // counts as a response with its status.
    qint32 StatusCode() const;
    // The first header of that name in the last response (case-insensitive); false when missing.
    bool Query(const QByteArray& name, QByteArray& value) const;
    // Status line and header lines of the last response, each ending in CR LF, then CR LF.
    QByteArray RawHeaders() const;
    // The address the last response came from (after redirects).
    QByteArray EffectiveURL() const;
    // Whether the last Send ended because no byte moved for the stall time-out, too few for
    // the minimum speed, or the total time-out ran out.
    bool TimedOut() const;
    // Why the last Send got no response or broke off (None when it completed or was stopped).
    TvuTransferFailure Failure() const;

    // Any thread.
    void Abort();
    bool Aborted() const;

private:
    std::unique_ptr<detail::CurlRequestState> state_;
};

} // namespace vu
