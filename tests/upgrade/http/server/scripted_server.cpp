#include "tests/upgrade/http/server/scripted_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

namespace vutest {

namespace {

constexpr int HoldLimitMs = 30000;

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    const auto last = s.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

} // namespace

// ---- ScriptedConnection ---------------------------------------------------------------------

std::string ScriptedConnection::ReadRequest() {
    std::string block;
    char buffer[4096];
    while (block.find("\r\n\r\n") == std::string::npos) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {server_.wakeFd_[0], POLLIN, 0}};
        if (::poll(fds, 2, HoldLimitMs) <= 0 || (fds[1].revents & POLLIN) != 0)
            return {};
        // Byte by byte past the header block would be slow; peeking keeps a body unread.
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_PEEK);
        if (n <= 0)
            return {};
        const std::string seen = block + std::string(buffer, static_cast<size_t>(n));
        const auto end = seen.find("\r\n\r\n");
        const size_t take =
            end == std::string::npos ? static_cast<size_t>(n) : end + 4 - block.size();
        if (::recv(fd_, buffer, take, 0) != static_cast<ssize_t>(take))
            return {};
        block.append(buffer, take);
    }
    headers_.clear();
    size_t start = block.find("\r\n");
    while (start != std::string::npos && start + 2 < block.size()) {
        const size_t end = block.find("\r\n", start + 2);
        const std::string line = block.substr(start + 2, end - start - 2);
        const auto colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            headers_[name] = trim(line.substr(colon + 1));
        }
        start = end;
    }
    return block;
}

std::string ScriptedConnection::Header(const std::string& lowerCaseName) const {
    const auto found = headers_.find(lowerCaseName);
    return found == headers_.end() ? std::string() : found->second;
}

bool ScriptedConnection::Send(const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        pollfd fds[2] = {{fd_, POLLOUT, 0}, {server_.wakeFd_[0], POLLIN, 0}};
        if (::poll(fds, 2, HoldLimitMs) <= 0 || (fds[1].revents & POLLIN) != 0)
            return false;
        const ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool ScriptedConnection::Pause(int ms) {
    return !server_.waitForStop(ms);
}

void ScriptedConnection::Hold() {
    server_.waitForStop(HoldLimitMs);
}

// ---- ScriptedServer -------------------------------------------------------------------------

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
    if (::pipe2(wakeFd_, O_CLOEXEC) != 0)
        return;
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0; // chosen by the system
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

ScriptedServer::~ScriptedServer() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    stopped_.notify_all();
    if (wakeFd_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_[1], &byte, 1);
    }
    if (acceptor_.joinable())
        acceptor_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> guard(lock_);
        threads.swap(threads_);
    }
    for (std::thread& t : threads)
        t.join();
    if (listenFd_ >= 0)
        ::close(listenFd_);
    for (int fd : wakeFd_)
        if (fd >= 0)
            ::close(fd);
}

std::string ScriptedServer::url(const std::string& path, bool https) const {
    return std::string(https ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

void ScriptedServer::acceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0)
            return;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int index = accepted_.fetch_add(1);
        std::lock_guard<std::mutex> guard(lock_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        threads_.emplace_back([this, fd, index] {
            ScriptedConnection connection(*this, fd, index);
            script_(connection);
            ::close(fd);
        });
    }
}

bool ScriptedServer::waitForStop(int ms) {
    std::unique_lock<std::mutex> guard(lock_);
    return stopped_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

} // namespace vutest
