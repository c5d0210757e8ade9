#pragma once

// A bare TCP server on 127.0.0.1 at an ephemeral port whose connections follow a script, for the
// misbehaving servers a real HTTP server library will not play: one that accepts and never
// answers, answers the headers and then nothing, drips a byte at a time, cuts the body short,
// or holds a TLS handshake (it simply never answers the client's greeting).
//
// Every accepted connection runs the script on a thread of its own with a ScriptedConnection; the
// connection is closed when the script returns. The destructor ends every wait of the scripts,
// closes everything and joins the threads.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vutest {

class ScriptedServer;

class ScriptedConnection {
public:
    // 0 for the first connection the server accepted, 1 for the next, ...
    int Index() const { return index_; }
    // Reads the request's header block (up to the empty line); empty when the client went away
    // or the server stops. Lower-cased header names map to their values.
    std::string ReadRequest();
    const std::map<std::string, std::string>& Headers() const { return headers_; }
    std::string Header(const std::string& lowerCaseName) const;
    // Sends all of `data`; false when the client went away or the server stops.
    bool Send(const std::string& data);
    // Waits `ms` milliseconds (the server's own pacing); false when the server stops meanwhile.
    bool Pause(int ms);
    // Keeps the connection open, saying nothing, until the server stops (at most 30 s).
    void Hold();

private:
    friend class ScriptedServer;
    ScriptedConnection(ScriptedServer& server, int fd, int index)
        : server_(server), fd_(fd), index_(index) {}
    ScriptedServer& server_;
    int fd_;
    int index_;
    std::map<std::string, std::string> headers_;
};

class ScriptedServer {
public:
    using Script = std::function<void(ScriptedConnection&)>;

    explicit ScriptedServer(Script script);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    bool running() const { return port_ > 0; }
    // "http://127.0.0.1:PORT" + path (or https, for a client that should try TLS).
    std::string url(const std::string& path, bool https = false) const;
    // Connections accepted so far.
    int connections() const { return accepted_.load(); }

private:
    friend class ScriptedConnection;
    void acceptLoop();
    // Waits up to `ms` for the stop; true when stopping.
    bool waitForStop(int ms);

    Script script_;
    int listenFd_ = -1;
    int wakeFd_[2] = {-1, -1}; // a pipe whose read end becomes readable on stop
    int port_ = 0;
    std::atomic<int> accepted_{0};
    std::thread acceptor_;
    std::mutex lock_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace vutest
