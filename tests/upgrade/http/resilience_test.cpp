// Transfers against servers that misbehave: silent after the connection or after the headers, a
// TLS handshake that never ends, a drip of bytes, a body without end; Abort of a large transfer;
// the order and completeness of progress events handed over in batches.

#include "tests/upgrade/http/server/held_sync_disk.h"
#include "tests/upgrade/http/server/local_http_server.h"
#include "tests/upgrade/http/server/scripted_server.h"
#include "transfer_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace vu;

using vutest::Fetch;
using vutest::HeldSyncDisk;
using vutest::LocalHTTPServer;
using vutest::RecordedTransfer;
using vutest::ScriptedConnection;
using vutest::ScriptedServer;
using vutest::WaitFor;

namespace {

// Calls Abort on a transfer whose worker is held up inside a write or a sync. Should Abort wait
// for it, a watchdog runs `rescue` after 10 s to let the worker go (until Abort has returned,
// which the flag tells), so the test ends either way. Returns whether the rescue was needed.
bool AbortNeedsRescue(TvuCustomHTTP& http,
                      const std::function<void(const std::atomic<bool>& returned)>& rescue) {
    std::mutex m;
    std::condition_variable cv;
    std::atomic<bool> returned{false};
    bool rescued = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(m);
        if (cv.wait_for(lock, std::chrono::seconds(10), [&] { return returned.load(); }))
            return;
        rescued = true;
        lock.unlock();
        rescue(returned);
    });
    http.Abort();
    {
        std::lock_guard<std::mutex> lock(m);
        returned = true;
    }
    cv.notify_all();
    watchdog.join();
    return rescued;
}

QByteArray Q(const std::string& s) {
    return QByteArray::fromStdString(s);
}

// Starts a direct transfer of `url` into the file `out`, recorded into `r`, with or without a
// progress handler; returns whether it started.
bool StartIntoFile(TvuCustomHTTP& http, RecordedTransfer& r, bool withHandler, const QString& out,
                   const std::string& url) {
    http.Proxy()->AccessType = atDirect;
    vutest::Record(http, r);
    if (!withHandler)
        http.OnTransferProgress = nullptr;
    http.SetOutputFile(out);
    http.SetURL(Q(url));
    return http.Read();
}

std::string OkHeaders(size_t length, const std::string& extra = {}) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
           std::to_string(length) + "\r\n" + extra + "\r\n";
}

// A component with every event recorded and limits small enough for tests; the stored
// time-outs stay 0, so only the component's own limits hold.
class Limits : public ::testing::Test {
protected:
    void SetUp() override {
        http.Proxy()->AccessType = atDirect;
        http.Limits().ConnectLimit = 400;
        http.Limits().StallLimit = 400;
        http.Limits().MinimumSpeed = 100;
        http.Limits().MinimumSpeedTime = 600;
        vutest::Record(http, r);
    }
    // Fetches url and returns how long the transfer took, in milliseconds (-1: never ended).
    qint64 Timed(const std::string& url) {
        http.SetURL(Q(url));
        QElapsedTimer clock;
        clock.start();
        return Fetch(http, 20000) ? clock.elapsed() : -1;
    }

    TvuCustomHTTP http;
    RecordedTransfer r;
};

TEST_F(Limits, SilentServersEndAsBrokenTransfers) {
    // Accepts the connection and never answers: no status, the server counts as unreachable.
    {
        ScriptedServer silent([](ScriptedConnection& c) { c.Hold(); });
        const qint64 ms = Timed(silent.url("/info.txt"));
        ASSERT_GE(ms, 0);
        EXPECT_GE(ms, 350);
        EXPECT_EQ(r.Events, QStringList({"TransferFailed", "ServerUnreachable"}));
        EXPECT_FALSE(http.Busy());
    }
    // Sends the headers and then nothing: the connection counts as lost.
    r = RecordedTransfer();
    ScriptedServer mute([](ScriptedConnection& c) {
        if (!c.ReadRequest().empty() && c.Send(OkHeaders(100000) + std::string(1000, 'x')))
            c.Hold();
    });
    http.Limits().MinimumSpeed = 0; // only the stall limit is at work here
    const qint64 ms = Timed(mute.url("/file.bin"));
    ASSERT_GE(ms, 0);
    EXPECT_GE(ms, 350);
    EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "TransferFailed", "ConnectionLost"}));
    EXPECT_EQ(r.LostBytes, 1000u);
    EXPECT_EQ(http.StatusCode(), 200);
    EXPECT_FALSE(http.Success());

    // The channel is free again.
    r = RecordedTransfer();
    LocalHTTPServer good;
    http.SetURL(Q(good.url("/bytes/5000")));
    ASSERT_TRUE(Fetch(http));
    EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "Done"}));
}

TEST_F(Limits, StalledTLSHandshakeIsBoundByTheConnectLimit) {
    // The client's greeting is never answered. The stall limit is long: only the connect limit,
    // which covers the handshake, can end this.
    http.Limits().StallLimit = 60000;
    http.Limits().MinimumSpeed = 0;
    ScriptedServer silent([](ScriptedConnection& c) { c.Hold(); });
    const qint64 ms = Timed(silent.url("/info.txt", true));
    ASSERT_GE(ms, 0);
    EXPECT_GE(ms, 350);
    EXPECT_LT(ms, 15000);
    EXPECT_EQ(silent.connections(), 1);
    EXPECT_EQ(r.Events, QStringList({"TransferFailed", "ServerUnreachable"}));
}

TEST_F(Limits, StoredTimeOutsTakePrecedence) {
    // A stored receive time-out replaces the stall limit (here: a longer one).
    http.Timeouts()->ReceiveTimeout = 1500;
    http.Limits().MinimumSpeed = 0;
    ScriptedServer silent([](ScriptedConnection& c) { c.Hold(); });
    const qint64 ms = Timed(silent.url("/info.txt"));
    ASSERT_GE(ms, 0);
    EXPECT_GE(ms, 1400);
    EXPECT_EQ(r.Events, QStringList({"TransferFailed", "ServerUnreachable"}));
}

TEST_F(Limits, ADripBelowTheMinimumSpeedEnds) {
    // A byte every 20 ms: 50 bytes a second, never silent long enough for the stall limit.
    http.Limits().StallLimit = 60000;
    ScriptedServer drip([](ScriptedConnection& c) {
        if (c.ReadRequest().empty() || !c.Send(OkHeaders(100000)))
            return;
        while (c.Send("d") && c.Pause(20)) {
        }
    });
    const qint64 ms = Timed(drip.url("/file.bin"));
    ASSERT_GE(ms, 0);
    EXPECT_GE(ms, 550);
    EXPECT_LT(ms, 15000);
    EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "TransferFailed", "ConnectionLost"}));
    EXPECT_GT(r.LostBytes, 0u);
}

TEST_F(Limits, ASlowButSteadyBodyIsNotCut) {
    // 64 bytes every 20 ms: above 100 bytes a second, so it ends complete.
    http.Limits().StallLimit = 60000;
    ScriptedServer steady([](ScriptedConnection& c) {
        if (c.ReadRequest().empty() || !c.Send(OkHeaders(64 * 60)))
            return;
        for (int i = 0; i < 60 && c.Send(std::string(64, 's')) && c.Pause(20); ++i) {
        }
    });
    ASSERT_GE(Timed(steady.url("/file.bin")), 0);
    EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "Done"}));
    EXPECT_EQ(r.DoneSize, 64u * 60u);
}

// ---- Size limit --------------------------------------------------------------------------------

TEST_F(Limits, BodiesBeyondTheSizeLimitAreErrorsWithoutData) {
    http.Limits().MaxBodySize = 1024 * 1024;
    http.Limits().StallLimit = 60000;
    // Only the size limit is at work here: on a loaded machine the first byte can take longer
    // than the fixture's minimum-speed window.
    http.Limits().MinimumSpeed = 0;
    // Endless, without a length: received up to the limit, then given up.
    ScriptedServer endless([](ScriptedConnection& c) {
        if (c.ReadRequest().empty() ||
            !c.Send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n"))
            return;
        const std::string block(65536, 'e');
        while (c.Send(block)) {
        }
    });
    ASSERT_GE(Timed(endless.url("/info.txt")), 0);
    EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "TransferFailed", "HTTPError"}));
    EXPECT_EQ(r.ErrorStatus, 200);
    EXPECT_TRUE(r.Body.isEmpty());
    EXPECT_FALSE(http.Success());
    EXPECT_LE(http.BytesRead(), 1024u * 1024u);

    // An announced length beyond the limit: not even the first byte is stored.
    r = RecordedTransfer();
    LocalHTTPServer server;
    http.SetURL(Q(server.url("/bytes/1048577")));
    ASSERT_TRUE(Fetch(http));
    EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "TransferFailed", "HTTPError"}));
    EXPECT_EQ(r.Progress, 0);

    // Exactly at the limit: done.
    r = RecordedTransfer();
    http.SetURL(Q(server.url("/bytes/1048576")));
    ASSERT_TRUE(Fetch(http));
    EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "Done"}));
    EXPECT_EQ(r.DoneSize, 1048576u);
}

// ---- Abort -------------------------------------------------------------------------------------

TEST(Abort, LargeTransfersStopAtOnceAndLeaveNothing) {
    LocalHTTPServer server;
    server.serve("/big", std::string(192u * 1024 * 1024, 'b'));
    QTemporaryDir dir;
    for (bool toFile : {false, true}) {
        TvuCustomHTTP http;
        RecordedTransfer r;
        http.Proxy()->AccessType = atDirect;
        vutest::Record(http, r);
        const QString out = dir.filePath(QStringLiteral("big.bin"));
        http.SetOutputFile(toFile ? out : QString());
        http.SetTransferBufferSize(65536);
        http.SetURL(Q(server.url("/big")));
        ASSERT_TRUE(http.Read());
        // Well into the body (a quarter of it) before the abort.
        ASSERT_TRUE(WaitFor([&] { return http.BytesRead() >= 48u * 1024 * 1024 || !http.Busy(); }));
        ASSERT_TRUE(http.Busy()) << "finished before the abort";
        http.Abort();
        EXPECT_FALSE(http.Busy());
        EXPECT_FALSE(http.Success());
        EXPECT_EQ(http.Data(), nullptr);
        // The name goes at once, or, when the abort met the worker inside a write of the file,
        // as soon as that write ends.
        EXPECT_TRUE(WaitFor([&] { return !QFile::exists(out); }, 5000)) << toFile;
        const int progress = r.Progress;
        ASSERT_TRUE(WaitFor([&] { return !http.Transferring(); }, 5000));
        // Nothing of the aborted transfer comes later.
        QTimer settle;
        bool settled = false;
        settle.singleShot(50, [&] { settled = true; });
        WaitFor([&] { return settled; });
        EXPECT_EQ(r.Progress, progress);
        EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "TransferAborted"}));
        EXPECT_FALSE(QFile::exists(out));
    }
}

// The output "file" is a pipe that nobody reads: once it is full, the worker is stuck inside a
// write for as long as the test wants, the way it is behind a slow or overloaded disk.
class StuckOutput {
public:
    StuckOutput() {
        if (::pipe2(fds_, O_CLOEXEC) != 0)
            fds_[0] = fds_[1] = -1;
    }
    ~StuckOutput() {
        for (int fd : fds_)
            if (fd >= 0)
                ::close(fd);
    }
    StuckOutput(const StuckOutput&) = delete;
    StuckOutput& operator=(const StuckOutput&) = delete;

    bool valid() const { return fds_[0] >= 0; }
    // A name under which the component opens the pipe's writing end.
    QString path() const { return QStringLiteral("/proc/self/fd/%1").arg(fds_[1]); }
    // Whether the pipe is full and some thread of this process is inside a write into it.
    bool writerBlocked() const {
        int queued = 0;
        if (::ioctl(fds_[0], FIONREAD, &queued) != 0 || queued < ::fcntl(fds_[0], F_GETPIPE_SZ))
            return false;
        const QString pipe = link(fds_[0]);
        const QStringList tasks = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs);
        for (const QString& task : tasks) {
            QFile f(QStringLiteral("/proc/self/task/%1/syscall").arg(task));
            if (!f.open(QIODevice::ReadOnly))
                continue;
            const QList<QByteArray> call = f.readAll().split(' ');
            bool isFd = false;
            const int fd = call.size() > 1 ? call[1].toInt(&isFd, 16) : -1;
            if (call[0].toLong() == SYS_write && isFd && link(fd) == pipe)
                return true;
        }
        return false;
    }
    // Reads what comes until `stop` is set.
    void drainUntil(const std::atomic<bool>& stop) {
        std::vector<char> buffer(1 << 20);
        while (!stop.load()) {
            pollfd p{fds_[0], POLLIN, 0};
            if (::poll(&p, 1, 20) > 0 && ::read(fds_[0], buffer.data(), buffer.size()) == 0)
                return;
        }
    }
    // Closes the test's own writing end and reads until no writing end is left open anywhere;
    // false when one still is after `ms`.
    bool drainToEnd(int ms) {
        ::close(fds_[1]);
        fds_[1] = -1;
        std::vector<char> buffer(1 << 20);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            pollfd p{fds_[0], POLLIN, 0};
            if (::poll(&p, 1, 20) > 0 && ::read(fds_[0], buffer.data(), buffer.size()) == 0)
                return true;
        }
        return false;
    }

private:
    static QString link(int fd) {
        return QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
    }
    int fds_[2] = {-1, -1};
};

TEST(Abort, DoesNotWaitForAWriteTheOutputHoldsUp) {
    std::signal(SIGPIPE, SIG_IGN); // a failed check must not end the run on a closed pipe
    LocalHTTPServer server;
    server.serve("/big", std::string(8u * 1024 * 1024, 'w'));
    for (bool withHandler : {true, false}) {
        SCOPED_TRACE(withHandler ? "progress handler" : "no handler");
        StuckOutput output;
        ASSERT_TRUE(output.valid());
        TvuCustomHTTP http;
        RecordedTransfer r;
        ASSERT_TRUE(StartIntoFile(http, r, withHandler, output.path(), server.url("/big")));
        ASSERT_TRUE(WaitFor([&] { return output.writerBlocked() || !http.Busy(); }));
        ASSERT_TRUE(http.Busy());

        // Were Abort to wait for the write, it would return only once the watchdog empties the
        // pipe, seconds later.
        const bool rescued = AbortNeedsRescue(
            http, [&](const std::atomic<bool>& returned) { output.drainUntil(returned); });
        EXPECT_FALSE(rescued) << "Abort waited for the blocked write";
        EXPECT_FALSE(http.Busy());
        EXPECT_FALSE(http.Success());
        EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "TransferAborted"}));
        // Once its write goes through, the abandoned worker lets the output go.
        EXPECT_TRUE(output.drainToEnd(10000)) << "the output is still open";
        ASSERT_TRUE(WaitFor([&] { return !http.Transferring(); }, 10000));
    }
}

TEST(Abort, DoesNotWaitForTheFinalSyncTheDiskHoldsUp) {
    // The body is in and the worker syncs the output file, on a disk that holds the sync. While
    // a sync is in progress some file systems also hold every close and removal of that file:
    // Abort must wait for none of them, and the file must go once the disk lets go.
    LocalHTTPServer server;
    server.serve("/file", std::string(1024u * 1024, 'y'));
    for (bool withHandler : {true, false}) {
        SCOPED_TRACE(withHandler ? "progress handler" : "no handler");
        HeldSyncDisk disk;
        if (!disk.mounted())
            GTEST_SKIP() << "no user-space file system here (needs /dev/fuse and root)";
        const QString out = QString::fromStdString(disk.path() + "held.bin");
        TvuCustomHTTP http;
        RecordedTransfer r;
        ASSERT_TRUE(StartIntoFile(http, r, withHandler, out, server.url("/file")));
        ASSERT_TRUE(WaitFor(
            [&] { return disk.waitForHeldSync(std::chrono::milliseconds(0)) || !http.Busy(); }));
        ASSERT_TRUE(http.Busy()) << "the transfer ended without syncing its file";
        ASSERT_EQ(disk.heldSyncOf(), "held.bin");

        // Were Abort to wait for the sync (or for a close or removal behind it), it would return
        // only once the watchdog lets the disk go, seconds later.
        const int progressBefore = r.Progress;
        const bool rescued =
            AbortNeedsRescue(http, [&](const std::atomic<bool>&) { disk.releaseSyncs(); });
        EXPECT_FALSE(rescued) << "Abort waited for the held sync";
        EXPECT_FALSE(http.Busy());
        EXPECT_FALSE(http.Success());
        EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "TransferAborted"}));

        // The disk lets go: nothing of the download stays.
        disk.releaseSyncs();
        EXPECT_TRUE(WaitFor([&] { return !QFile::exists(out) && !disk.holds("held.bin"); }, 10000))
            << "the partial file stayed";
        ASSERT_TRUE(WaitFor([&] { return !http.Transferring(); }, 10000));
        // Nothing of the aborted transfer is raised after.
        EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "TransferAborted"}));
        EXPECT_EQ(r.Progress, progressBefore);
    }
}

// ---- Progress events handed over in batches
// ------------------------------------------------------

TEST(Progress, EveryChunkHasItsEventInOrderBeforeTheOutcome) {
    LocalHTTPServer server;
    QTemporaryDir dir;
    const size_t size = 8u * 1024 * 1024 + 123;
    server.serve("/file", std::string(size, 'p'));
    for (bool toFile : {false, true}) {
        TvuCustomHTTP http;
        http.Proxy()->AccessType = atDirect;
        const QString out = dir.filePath(QStringLiteral("p.bin"));
        http.SetOutputFile(toFile ? out : QString());
        int aheadOfFile = 0;
        QList<quint32> seen;
        QList<quint8> percents;
        bool doneSeen = false;
        bool progressAfterDone = false;
        http.OnTransferProgress = [&](QObject*, const QByteArray&, quint32 length, quint32 bytes,
                                      qint32, qint32, quint8 percent, float, QIODevice*) {
            progressAfterDone = progressAfterDone || doneSeen;
            EXPECT_EQ(length, size);
            EXPECT_EQ(http.BytesRead(), bytes); // the component shows the event's figures
            // An event never tells of bytes the file does not hold yet.
            if (toFile && QFileInfo(out).size() < bytes)
                ++aheadOfFile;
            seen << bytes;
            percents << percent;
        };
        http.OnDone = [&](QObject*, const QByteArray&, quint32, QIODevice*) { doneSeen = true; };
        http.SetURL(Q(server.url("/file")));
        ASSERT_TRUE(Fetch(http, 60000));
        ASSERT_TRUE(doneSeen);
        EXPECT_FALSE(progressAfterDone);
        EXPECT_EQ(aheadOfFile, 0);
        // One event per 4096-byte chunk, the last one shorter, in order.
        ASSERT_EQ(seen.size(), static_cast<qsizetype>((size + 4095) / 4096)) << toFile;
        bool inOrder = true;
        for (qsizetype i = 0; i < seen.size(); ++i)
            inOrder = inOrder && seen[i] == std::min<quint64>((i + 1) * 4096ull, size);
        EXPECT_TRUE(inOrder);
        EXPECT_EQ(percents.last(), 100);
        EXPECT_EQ(http.BytesRead(), size);
    }
}

TEST(Progress, ADownloadIntoAFileShowsWhatHasArrivedWhileTheServerPauses) {
    // The file is written in large batches; a server that pauses after a few chunks must not
    // leave their progress (and their bytes) waiting for the batch to fill.
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("slow.bin"));
    const std::string body = LocalHTTPServer::pattern(1000000);
    ScriptedServer server([&](ScriptedConnection& c) {
        if (!c.ReadRequest().empty() && c.Send(OkHeaders(body.size()) + body.substr(0, 10000)))
            c.Hold();
    });
    TvuCustomHTTP http;
    http.Proxy()->AccessType = atDirect;
    quint32 shown = 0;
    http.OnTransferProgress = [&](QObject*, const QByteArray&, quint32, quint32 bytes, qint32,
                                  qint32, quint8, float, QIODevice*) { shown = bytes; };
    http.SetOutputFile(out);
    http.SetURL(Q(server.url("/slow.bin")));
    ASSERT_TRUE(http.Read());
    // Two whole 4096-byte chunks arrived: both are reported, and they are in the file.
    ASSERT_TRUE(WaitFor([&] { return shown >= 8192 || !http.Busy(); }));
    EXPECT_EQ(shown, 8192u);
    EXPECT_GE(QFileInfo(out).size(), 8192);
    http.Abort();
}

TEST(Progress, ASlowHandlerHoldsTheWorkerBackWithoutLosingEvents) {
    // A handler slower than the network: the worker may only run so far ahead, and every event
    // still arrives. The GUI thread keeps serving its other events meanwhile.
    LocalHTTPServer server;
    const size_t size = 600u * 1024;
    server.serve("/file", std::string(size, 's'));
    TvuCustomHTTP http;
    http.Proxy()->AccessType = atDirect;
    http.SetTransferBufferSize(255);
    int events = 0;
    int timerTicks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++timerTicks; });
    ticker.start(1);
    http.OnTransferProgress = [&](QObject*, const QByteArray&, quint32, quint32, qint32, qint32,
                                  quint8, float, QIODevice*) {
        ++events;
        QElapsedTimer busy;
        busy.start();
        while (busy.nsecsElapsed() < 2000) {
        }
    };
    http.SetURL(Q(server.url("/file")));
    ASSERT_TRUE(Fetch(http, 60000));
    EXPECT_EQ(events, static_cast<int>((size + 254) / 255));
    EXPECT_GT(timerTicks, 0);
}

// ---- Resuming a broken download -----------------------------------------------------------------

// How the server answers the second request, which asks for the rest of the file.
enum class SecondAnswer { Continue206, Ignore200, ChangedETag, Unsatisfiable416 };

// A file of 100000 bytes whose first download is cut at 40 %; the answers that follow are
// scripted by `second`. The requests' Range and If-Range headers are recorded.
struct ResumeScript {
    static constexpr size_t Size = 100000;
    static constexpr size_t Cut = 40000;
    const std::string body = LocalHTTPServer::pattern(Size);
    SecondAnswer second = SecondAnswer::Continue206;
    std::mutex lock;
    std::vector<std::pair<std::string, std::string>> ranges; // Range, If-Range of each request

    void operator()(ScriptedConnection& c) {
        if (c.ReadRequest().empty())
            return;
        {
            std::lock_guard<std::mutex> guard(lock);
            ranges.emplace_back(c.Header("range"), c.Header("if-range"));
        }
        const std::string etag =
            second == SecondAnswer::ChangedETag && c.Index() > 0 ? "\"v2\"" : "\"v1\"";
        const std::string tag = "ETag: " + etag + "\r\nConnection: close\r\n";
        if (c.Index() == 0) {
            c.Send(OkHeaders(Size, tag) + body.substr(0, Cut)); // and the connection is cut
            return;
        }
        const bool asked = !c.Header("range").empty();
        if (asked && second == SecondAnswer::Unsatisfiable416) {
            c.Send("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                   std::to_string(Size) + "\r\nContent-Length: 0\r\n" + tag + "\r\n");
            return;
        }
        if (asked && second == SecondAnswer::Continue206 && c.Header("if-range") == etag) {
            const size_t from = std::stoul(c.Header("range").substr(6));
            c.Send("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) +
                   "-" + std::to_string(Size - 1) + "/" + std::to_string(Size) +
                   "\r\nContent-Length: " + std::to_string(Size - from) + "\r\n" + tag + "\r\n" +
                   body.substr(from));
            return;
        }
        c.Send(OkHeaders(Size, tag) + body);
    }
};

// A recorded component that downloads url into out and keeps what breaks off for the next try.
struct ResumingDownload {
    ResumingDownload(const QString& out, const std::string& url) {
        http.Proxy()->AccessType = atDirect;
        vutest::Record(http, r);
        http.SetResumeOutput(true);
        http.SetOutputFile(out);
        http.SetURL(Q(url));
    }
    TvuCustomHTTP http;
    RecordedTransfer r;
};

TEST(Resume, ABrokenDownloadGoesOnWhereItStopped) {
    const struct {
        SecondAnswer answer;
        qint32 status;        // of the answer the component reports
        size_t firstProgress; // BytesRead of the first progress event of the second transfer
    } cases[] = {
        {SecondAnswer::Continue206, 206, ResumeScript::Cut + 4096},
        {SecondAnswer::Ignore200, 200, 4096},
        {SecondAnswer::ChangedETag, 200, 4096},
        {SecondAnswer::Unsatisfiable416, 200, 4096},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        ResumeScript script;
        script.second = c.answer;
        ScriptedServer server([&script](ScriptedConnection& conn) { script(conn); });
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("setup.exe.uTMP"));
        ResumingDownload d(out, server.url("/setup.exe"));
        auto& [http, r] = d;
        QList<quint32> progress;
        http.OnTransferProgress = [&](QObject*, const QByteArray&, quint32, quint32 bytes, qint32,
                                      qint32, quint8, float, QIODevice*) { progress << bytes; };

        // The first attempt breaks at 40 %: the part and its validator stay.
        ASSERT_TRUE(Fetch(http));
        EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "TransferFailed", "ConnectionLost"}));
        ASSERT_TRUE(QFile::exists(out));
        EXPECT_EQ(QFileInfo(out).size(), static_cast<qint64>(ResumeScript::Cut));
        EXPECT_TRUE(QFile::exists(out + ".resume"));

        // The next attempt asks for the rest of that version of the file.
        r = RecordedTransfer();
        progress.clear();
        ASSERT_TRUE(Fetch(http));
        EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "Done"}));
        EXPECT_EQ(r.HeaderStatus, c.status);
        EXPECT_EQ(r.HeaderLength, ResumeScript::Size); // the whole file's length
        EXPECT_TRUE(http.Success());
        ASSERT_FALSE(progress.isEmpty());
        EXPECT_EQ(progress.first(), c.firstProgress);
        EXPECT_EQ(progress.last(), ResumeScript::Size);
        QFile file(out);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll() == Q(script.body)) << "the file is not the server's";
        EXPECT_FALSE(QFile::exists(out + ".resume"));

        std::lock_guard<std::mutex> guard(script.lock);
        ASSERT_GE(script.ranges.size(), 2u);
        EXPECT_EQ(script.ranges[0], std::make_pair(std::string(), std::string()));
        EXPECT_EQ(script.ranges[1],
                  std::make_pair(std::string("bytes=40000-"), std::string("\"v1\"")));
        // After 416 the whole file is asked for, without a range.
        const size_t requests = c.answer == SecondAnswer::Unsatisfiable416 ? 3u : 2u;
        ASSERT_EQ(script.ranges.size(), requests);
        if (requests == 3) {
            EXPECT_EQ(script.ranges[2], std::make_pair(std::string(), std::string()));
        }
    }
}

TEST(Resume, TheRecordIsWrittenOnlyOnceThePartialFileIsOnTheDisk) {
    // A record beside a partial file says "its bytes are the server's, go on after them": it
    // must not stand before those bytes are synced, or a power cut could leave a record that
    // tells of bytes the disk never kept. The disk holds the partial file's sync here.
    HeldSyncDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << "no user-space file system here (needs /dev/fuse and root)";
    ResumeScript script;
    ScriptedServer server([&script](ScriptedConnection& conn) { script(conn); });
    const QString out = QString::fromStdString(disk.path() + "part.bin");
    ResumingDownload d(out, server.url("/part.bin"));
    auto& [http, r] = d;

    // The first attempt breaks at 40 %; its part is being synced.
    ASSERT_TRUE(http.Read());
    ASSERT_TRUE(WaitFor(
        [&] { return disk.waitForHeldSync(std::chrono::milliseconds(0)) || !http.Busy(); }));
    ASSERT_TRUE(http.Busy()) << "the partial file was not synced";
    ASSERT_EQ(disk.heldSyncOf(), "part.bin");
    EXPECT_TRUE(disk.holds("part.bin"));
    EXPECT_FALSE(disk.holds("part.bin.resume")) << "a record before the data is on the disk";
    disk.releaseSyncs();
    ASSERT_TRUE(WaitFor([&] { return !http.Busy(); }));
    EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "TransferFailed", "ConnectionLost"}));
    EXPECT_EQ(QFileInfo(out).size(), static_cast<qint64>(ResumeScript::Cut));
    EXPECT_TRUE(disk.holds("part.bin.resume"));

    // The record leads the next attempt on from there.
    r = RecordedTransfer();
    ASSERT_TRUE(Fetch(http));
    EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "Done"}));
    EXPECT_EQ(r.HeaderStatus, 206);
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == Q(script.body)) << "the file is not the server's";
    file.close();
    EXPECT_FALSE(disk.holds("part.bin.resume"));
}

TEST(Resume, WhatCannotBeResumedIsNotKept) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("data.bin"));
    const std::string body = LocalHTTPServer::pattern(50000);
    // No validator at all (or only a weak one): nothing to vouch for the part, so it goes.
    for (const std::string& validator : {std::string(), std::string("ETag: W/\"weak\"\r\n")}) {
        ScriptedServer server([&](ScriptedConnection& c) {
            if (!c.ReadRequest().empty())
                c.Send(OkHeaders(50000, validator) + body.substr(0, 20000));
        });
        ResumingDownload d(out, server.url("/data.bin"));
        ASSERT_TRUE(Fetch(d.http));
        const RecordedTransfer& r = d.r;
        EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "TransferFailed", "ConnectionLost"}));
        EXPECT_FALSE(QFile::exists(out));
        EXPECT_FALSE(QFile::exists(out + ".resume"));
    }

    // A validator by date is enough: the part and its record stay.
    const std::string dated = "Last-Modified: Tue, 08 Dec 2026 10:00:00 GMT\r\n";
    {
        ScriptedServer cut([&](ScriptedConnection& c) {
            if (!c.ReadRequest().empty())
                c.Send(OkHeaders(50000, dated) + body.substr(0, 20000));
        });
        ResumingDownload d(out, cut.url("/data.bin"));
        ASSERT_TRUE(Fetch(d.http));
        EXPECT_EQ(d.r.Events, QStringList({"HeaderInfo", "TransferFailed", "ConnectionLost"}));
        EXPECT_EQ(QFileInfo(out).size(), 20000);
        EXPECT_TRUE(QFile::exists(out + ".resume"));
    }

    // While the body comes, no record stands (its bytes are not on the disk yet); an abort
    // removes the part, and the record of the earlier attempt is gone too.
    ScriptedServer held([&](ScriptedConnection& c) {
        if (!c.ReadRequest().empty() && c.Send(OkHeaders(50000, dated) + body.substr(0, 20000)))
            c.Hold();
    });
    ResumingDownload d(out, held.url("/other.bin"));
    TvuCustomHTTP& http = d.http;
    ASSERT_TRUE(http.Read());
    ASSERT_TRUE(WaitFor([&] { return http.BytesRead() >= 16384; }));
    EXPECT_FALSE(QFile::exists(out + ".resume"));
    http.Abort();
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_FALSE(QFile::exists(out + ".resume"));
}

} // namespace
