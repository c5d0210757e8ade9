#pragma once

// An HTTP (or HTTPS) server on 127.0.0.1 at an ephemeral port for transfer tests. It starts in the
// constructor and stops in the destructor, records every request it receives and offers a fixed set
// of behaviours by path, so that a test only names the address it needs:
//
//   /bytes/N            N bytes of pattern(N) with Content-Length; byte ranges are honoured (206)
//   /chunked/N          N bytes of pattern(N) in chunked encoding, no Content-Length
//   /short/N/M          announces N bytes, sends the first M of pattern(N) and closes
//   /status/C           answers status C with the body "status C"
//   /auth/NAME          wants Basic credentials (see setCredentials); answers 401 with
//                       WWW-Authenticate: Basic realm="NAME" until they come, then "granted"
//   /redirect/K         302 to /redirect/K-1; /redirect/0 answers "arrived"
//   /redirect-to?u=URL  302 to URL (percent-decoded)
//   /loop               302 to itself, for ever
//   /stall-body/N       announces 2N bytes, sends the first N of pattern(2N), then waits
//   /stall-chunked/N    sends N bytes of pattern(N) in chunked encoding, then waits
//   /stall-headers      accepts the request and waits before answering at all
//   /headers            echoes the request's header lines as the body (text/plain)
//   /cut/N/M/K          N bytes of pattern(N) with an ETag; "Range: bytes=X-" is answered with
//                       206 and the rest; the first K requests send only M bytes of their answer
//                       and close the connection
//   any path given to serve()
//
// Waiting behaviours wait until releaseStalls(), the server's destruction or 30 seconds.
// With actAsProxy() set, every request without the right Proxy-Authorization gets 407 with
// Proxy-Authenticate: Basic realm="proxy"; requests whose target is an absolute address (sent to a
// proxy) are served by their path, so the server plays proxy and origin at once.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace vutest {

class SelfSignedCertificate;

struct RecordedRequest {
    std::string Method;
    std::string Target; // as sent on the request line
    std::string Path;   // without the origin of an absolute target and without the query
    std::vector<std::pair<std::string, std::string>> Headers;

    // Value of the first header of that name (case-insensitive), empty when missing.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
};

class LocalHTTPServer {
public:
    enum class Scheme { Http, Https };

    explicit LocalHTTPServer(Scheme scheme = Scheme::Http);
    ~LocalHTTPServer();
    LocalHTTPServer(const LocalHTTPServer&) = delete;
    LocalHTTPServer& operator=(const LocalHTTPServer&) = delete;

    bool running() const { return Port > 0; }
    int port() const { return Port; }
    // "http://127.0.0.1:PORT" (or https), without a trailing slash.
    std::string origin() const;
    // origin() + path; path starts with "/".
    std::string url(const std::string& path) const;
    // PEM file of the certificate an HTTPS server presents; a client trusting it verifies the
    // server as 127.0.0.1 and as localhost. Empty for plain HTTP.
    const std::string& certificateFile() const { return CertificateFile; }

    // Deterministic content: byte i is a function of i, so truncation and ranges show.
    static std::string pattern(size_t n);

    // Static content at an exact path, with Content-Length. Served from memory; large bodies are
    // streamed in slices.
    void serve(const std::string& path, std::string body,
               const std::string& contentType = "application/octet-stream",
               std::vector<std::pair<std::string, std::string>> extraHeaders = {});
    // Credentials /auth/NAME wants; "user" / "secret" unless changed.
    void setCredentials(const std::string& user, const std::string& password);
    // Turns on the proxy gate described above.
    void actAsProxy(const std::string& user, const std::string& password);

    std::vector<RecordedRequest> requests() const;
    size_t requestCount() const;
    // Requests whose path equals the argument.
    std::vector<RecordedRequest> requestsFor(const std::string& path) const;
    // Ends every wait of the stalling behaviours.
    void releaseStalls();
    // Number of connections whose handler is waiting right now.
    int stalledCount() const;
    // Waits until at least n handlers are stalled (bounded, true when reached).
    bool waitForStalled(int n, int timeoutMs = 10000) const;

private:
    void handle(const httplib::Request& req, httplib::Response& res);
    bool stall();
    bool proxyGate(const httplib::Request& req, httplib::Response& res);
    void record(const httplib::Request& req, const std::string& path);

    std::unique_ptr<httplib::Server> Server;
    std::unique_ptr<SelfSignedCertificate> Certificate;
    std::string CertificateFile;
    std::string CertificateDir;
    std::thread Listener;
    int Port = 0;
    Scheme Kind;

    mutable std::mutex Lock;
    mutable std::condition_variable Changed;
    bool Released = false;
    int Stalled = 0;
    std::vector<RecordedRequest> Recorded;
    std::map<std::string, std::shared_ptr<const std::string>> Bodies;
    std::map<std::string, std::string> BodyTypes;
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> BodyHeaders;
    std::string User = "user";
    std::string Password = "secret";
    bool Proxy = false;
    std::string ProxyUser;
    std::string ProxyPassword;
};

} // namespace vutest
