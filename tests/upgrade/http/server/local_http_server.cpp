#include "tests/upgrade/http/server/local_http_server.h"

#include "tests/support/poll_wait.h"
#include "tests/upgrade/http/server/self_signed_certificate.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <httplib.h>
#include <openssl/evp.h>
#include <regex>

namespace vutest {

namespace {

constexpr auto StallLimit = std::chrono::seconds(30);
constexpr size_t Slice = 256 * 1024;

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string basicCredentials(const std::string& user, const std::string& password) {
    const std::string plain = user + ":" + password;
    std::string encoded(4 * ((plain.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                  reinterpret_cast<const unsigned char*>(plain.data()),
                                  static_cast<int>(plain.size()));
    encoded.resize(static_cast<size_t>(n));
    return "Basic " + encoded;
}

// The path of a request target, also when the target is an absolute address sent to a proxy.
std::string originRelativePath(const std::string& path) {
    static const std::regex absolute(R"(^[a-zA-Z][a-zA-Z0-9+.-]*://[^/]*(/.*)?$)");
    std::smatch m;
    if (std::regex_match(path, m, absolute))
        return m[1].matched ? m[1].str() : std::string("/");
    return path;
}

// Serves body[offset, offset + length) in slices.
httplib::ContentProvider sliceProvider(std::shared_ptr<const std::string> body) {
    return [body](size_t offset, size_t length, httplib::DataSink& sink) {
        const size_t n = std::min(length, Slice);
        return sink.write(body->data() + offset, n);
    };
}

} // namespace

std::string RecordedRequest::header(const std::string& name) const {
    for (const auto& [key, value] : Headers)
        if (equalsIgnoringCase(key, name))
            return value;
    return {};
}

bool RecordedRequest::hasHeader(const std::string& name) const {
    return std::any_of(Headers.begin(), Headers.end(),
                       [&](const auto& h) { return equalsIgnoringCase(h.first, name); });
}

LocalHTTPServer::LocalHTTPServer(Scheme scheme) : Kind(scheme) {
    if (scheme == Scheme::Https) {
        Certificate = std::make_unique<SelfSignedCertificate>();
        char dirTemplate[] = "/tmp/vu-http-cert-XXXXXX";
        const char* tmp = std::getenv("TMPDIR");
        std::string templ = tmp && *tmp ? std::string(tmp) + "/vu-http-cert-XXXXXX" : dirTemplate;
        std::vector<char> buffer(templ.begin(), templ.end());
        buffer.push_back('\0');
        if (Certificate->valid() && mkdtemp(buffer.data()) != nullptr) {
            CertificateDir = buffer.data();
            CertificateFile = CertificateDir + "/server-ca.pem";
            if (!Certificate->writePem(CertificateFile))
                CertificateFile.clear();
        }
        if (CertificateFile.empty())
            return;
        Server = std::make_unique<httplib::SSLServer>(Certificate->certificate(),
                                                      Certificate->privateKey());
    } else {
        Server = std::make_unique<httplib::Server>();
    }
    if (!Server->is_valid())
        return;
    Server->set_keep_alive_timeout(1);
    Server->set_read_timeout(5);
    Server->set_write_timeout(5);
    Server->set_payload_max_length(1 << 20);
    Server->Get(".*",
                [this](const httplib::Request& req, httplib::Response& res) { handle(req, res); });
    const int port = Server->bind_to_any_port("127.0.0.1");
    if (port <= 0)
        return;
    Port = port;
    // The socket listens already; connections made before the loop runs wait in the backlog.
    Listener = std::thread([this] { Server->listen_after_bind(); });
    // A stop before the accept loop runs would be lost: wait (bounded) until it runs.
    vutest::PollUntil([this] { return Server->is_running(); }, std::chrono::seconds(10),
                      std::chrono::milliseconds(1));
}

LocalHTTPServer::~LocalHTTPServer() {
    releaseStalls();
    if (Server)
        Server->stop();
    if (Listener.joinable())
        Listener.join();
    Server.reset();
    if (!CertificateDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(CertificateDir, ignored);
    }
}

std::string LocalHTTPServer::origin() const {
    return std::string(Kind == Scheme::Https ? "https" : "http") +
           "://127.0.0.1:" + std::to_string(Port);
}

std::string LocalHTTPServer::url(const std::string& path) const {
    return origin() + path;
}

std::string LocalHTTPServer::pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 131 + (i >> 8) * 7 + 11) & 0xFF);
    return s;
}

void LocalHTTPServer::serve(const std::string& path, std::string body,
                            const std::string& contentType,
                            std::vector<std::pair<std::string, std::string>> extraHeaders) {
    std::lock_guard<std::mutex> guard(Lock);
    Bodies[path] = std::make_shared<const std::string>(std::move(body));
    BodyTypes[path] = contentType;
    BodyHeaders[path] = std::move(extraHeaders);
}

void LocalHTTPServer::setCredentials(const std::string& user, const std::string& password) {
    std::lock_guard<std::mutex> guard(Lock);
    User = user;
    Password = password;
}

void LocalHTTPServer::actAsProxy(const std::string& user, const std::string& password) {
    std::lock_guard<std::mutex> guard(Lock);
    Proxy = true;
    ProxyUser = user;
    ProxyPassword = password;
}

std::vector<RecordedRequest> LocalHTTPServer::requests() const {
    std::lock_guard<std::mutex> guard(Lock);
    return Recorded;
}

size_t LocalHTTPServer::requestCount() const {
    std::lock_guard<std::mutex> guard(Lock);
    return Recorded.size();
}

std::vector<RecordedRequest> LocalHTTPServer::requestsFor(const std::string& path) const {
    std::lock_guard<std::mutex> guard(Lock);
    std::vector<RecordedRequest> found;
    for (const auto& r : Recorded)
        if (r.Path == path)
            found.push_back(r);
    return found;
}

void LocalHTTPServer::releaseStalls() {
    {
        std::lock_guard<std::mutex> guard(Lock);
        Released = true;
    }
    Changed.notify_all();
}

int LocalHTTPServer::stalledCount() const {
    std::lock_guard<std::mutex> guard(Lock);
    return Stalled;
}

bool LocalHTTPServer::waitForStalled(int n, int timeoutMs) const {
    std::unique_lock<std::mutex> guard(Lock);
    return Changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                            [&] { return Stalled >= n; });
}

bool LocalHTTPServer::stall() {
    std::unique_lock<std::mutex> guard(Lock);
    ++Stalled;
    Changed.notify_all();
    const bool released = Changed.wait_for(guard, StallLimit, [&] { return Released; });
    --Stalled;
    Changed.notify_all();
    return released;
}

void LocalHTTPServer::record(const httplib::Request& req, const std::string& path) {
    RecordedRequest r;
    r.Method = req.method;
    r.Target = req.target;
    r.Path = path;
    for (const auto& [key, value] : req.headers)
        r.Headers.emplace_back(key, value);
    std::lock_guard<std::mutex> guard(Lock);
    Recorded.push_back(std::move(r));
}

bool LocalHTTPServer::proxyGate(const httplib::Request& req, httplib::Response& res) {
    std::string expected;
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (!Proxy)
            return true;
        expected = basicCredentials(ProxyUser, ProxyPassword);
    }
    if (req.get_header_value("Proxy-Authorization") == expected)
        return true;
    res.status = 407;
    res.set_header("Proxy-Authenticate", "Basic realm=\"proxy\"");
    res.set_content("proxy credentials wanted", "text/plain");
    return false;
}

void LocalHTTPServer::handle(const httplib::Request& req, httplib::Response& res) {
    const std::string path = originRelativePath(req.path);
    record(req, path);
    if (!proxyGate(req, res))
        return;

    std::smatch m;
    static const std::regex bytes(R"(/bytes/(\d+))");
    static const std::regex chunked(R"(/chunked/(\d+))");
    static const std::regex unsized(R"(/unsized/(\d+))");
    static const std::regex shortBody(R"(/short/(\d+)/(\d+))");
    static const std::regex status(R"(/status/(\d+))");
    static const std::regex auth(R"(/auth/(.+))");
    static const std::regex redirect(R"(/redirect/(\d+))");
    static const std::regex stallBody(R"(/stall-body/(\d+))");
    static const std::regex stallChunked(R"(/stall-chunked/(\d+))");
    static const std::regex cut(R"(/cut/(\d+)/(\d+)/(\d+))");

    {
        std::unique_lock<std::mutex> guard(Lock);
        auto found = Bodies.find(path);
        if (found != Bodies.end()) {
            auto body = found->second;
            const std::string type = BodyTypes[path];
            for (const auto& [key, value] : BodyHeaders[path])
                res.set_header(key, value);
            guard.unlock();
            res.set_content_provider(body->size(), type, sliceProvider(body));
            return;
        }
    }

    if (std::regex_match(path, m, bytes)) {
        auto body = std::make_shared<const std::string>(pattern(std::stoul(m[1])));
        res.set_content_provider(body->size(), "application/octet-stream", sliceProvider(body));
    } else if (std::regex_match(path, m, chunked) || std::regex_match(path, m, unsized)) {
        auto body = std::make_shared<const std::string>(pattern(std::stoul(m[1])));
        auto provider = [body](size_t offset, httplib::DataSink& sink) {
            if (offset >= body->size()) {
                sink.done();
                return true;
            }
            return sink.write(body->data() + offset, std::min(body->size() - offset, Slice));
        };
        if (path.rfind("/chunked/", 0) == 0)
            res.set_chunked_content_provider("application/octet-stream", provider);
        else
            res.set_content_provider("application/octet-stream", provider);
    } else if (std::regex_match(path, m, shortBody)) {
        const size_t announced = std::stoul(m[1]);
        const size_t sent = std::min<size_t>(std::stoul(m[2]), announced);
        auto body = std::make_shared<const std::string>(pattern(announced));
        res.set_content_provider(announced, "application/octet-stream",
                                 [body, sent](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset < sent)
                                         return sink.write(body->data() + offset, sent - offset);
                                     return false; // the connection is closed here
                                 });
    } else if (std::regex_match(path, m, status)) {
        res.status = std::stoi(m[1]);
        res.set_content("status " + m[1].str(), "text/plain");
    } else if (std::regex_match(path, m, auth)) {
        std::string expected;
        {
            std::lock_guard<std::mutex> guard(Lock);
            expected = basicCredentials(User, Password);
        }
        if (req.get_header_value("Authorization") == expected) {
            res.set_content("granted", "text/plain");
        } else {
            res.status = 401;
            res.set_header("WWW-Authenticate", "Basic realm=\"" + m[1].str() + "\"");
            res.set_content("credentials wanted", "text/plain");
        }
    } else if (std::regex_match(path, m, redirect)) {
        const unsigned long k = std::stoul(m[1]);
        if (k == 0)
            res.set_content("arrived", "text/plain");
        else
            res.set_redirect("/redirect/" + std::to_string(k - 1), 302);
    } else if (path == "/redirect-to") {
        res.set_redirect(req.get_param_value("u"), 302);
    } else if (path == "/loop") {
        res.set_redirect("/loop", 302);
    } else if (std::regex_match(path, m, stallBody)) {
        const size_t first = std::stoul(m[1]);
        auto body = std::make_shared<const std::string>(pattern(2 * first));
        res.set_content_provider(
            2 * first, "application/octet-stream",
            [this, body, first](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset < first)
                    return sink.write(body->data() + offset, first - offset);
                stall();
                return false;
            });
    } else if (std::regex_match(path, m, stallChunked)) {
        const size_t first = std::stoul(m[1]);
        auto body = std::make_shared<const std::string>(pattern(first));
        res.set_chunked_content_provider(
            "application/octet-stream", [this, body](size_t offset, httplib::DataSink& sink) {
                if (offset < body->size())
                    return sink.write(body->data() + offset, body->size() - offset);
                stall();
                return false;
            });
    } else if (std::regex_match(path, m, cut)) {
        const size_t size = std::stoul(m[1]);
        const size_t sent = std::stoul(m[2]);
        const size_t cutAttempts = std::stoul(m[3]);
        const size_t attempt = requestsFor(path).size(); // this one included
        auto body = std::make_shared<const std::string>(pattern(size));
        // The server library answers a range itself (206); the cut counts from where it starts.
        size_t from = 0;
        static const std::regex rest(R"(bytes=(\d+)-)");
        std::smatch r;
        const std::string range = req.get_header_value("Range");
        if (std::regex_match(range, r, rest))
            from = std::stoul(r[1]);
        const size_t limit = attempt <= cutAttempts ? from + sent : size;
        res.set_header("ETag", "\"cut-" + m[1].str() + "\"");
        res.set_content_provider(
            size, "application/octet-stream",
            [body, limit](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset >= limit)
                    return false; // the connection is cut here
                const size_t n = std::min({length, Slice, limit - offset});
                return sink.write(body->data() + offset, n);
            });
    } else if (path == "/stall-headers") {
        stall();
        res.set_content("late", "text/plain");
    } else if (path == "/headers") {
        std::string text;
        for (const auto& [key, value] : req.headers)
            text += key + ": " + value + "\r\n";
        res.set_content(text, "text/plain");
    } else {
        res.status = 404;
        res.set_content("not found", "text/plain");
    }
}

} // namespace vutest
