// Throughput benchmark of the HTTP transfer component on loopback (run by hand, not a test).
//
// Serves a 256 MiB body from a local server and measures, in one run: `curl -s -o /dev/null` of
// it; the component into a memory stream and into an output file, without and with a progress
// handler, at the default transfer buffer size and at 64 KiB; the cost of one Synchronize round
// trip beside a plain Qt::BlockingQueuedConnection call; the longest stall of the GUI thread's
// event loop during the transfers (a timer ticking every millisecond); and the resident memory
// during the output-file downloads against the idle figure.
//
//   transfer_bench [size in MiB, default 256]

#include "LocalHTTPServer.h"

#include "upgrade/http/vuHTTP.h"
#include "upgrade/utils/vuThread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

long residentKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

// Watches the GUI thread: the longest gap between two ticks of a 1 ms timer, and the largest
// resident size seen.
struct Watch {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    long peakKiB = 0;
    unsigned ticks = 0;
    Watch() {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
    }
    void start() {
        longest = 0;
        peakKiB = residentKiB();
        clock.start();
        last = clock.nsecsElapsed();
        timer.start();
    }
    void stop() {
        tick();
        timer.stop();
    }
    void tick() {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (++ticks % 16 == 0) // reading /proc costs; every 16th tick is enough
            peakKiB = std::max(peakKiB, residentKiB());
    }
};

double curlSeconds(const QString& url, const QString& target) {
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty())
        return -1;
    double best = -1;
    for (int i = 0; i < 2; ++i) {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(curl, {QStringLiteral("-s"), QStringLiteral("-o"), target, url});
        if (!p.waitForFinished(600000) || p.exitCode() != 0)
            return -1;
        const double s = t.nsecsElapsed() / 1e9;
        best = best < 0 ? s : std::min(best, s);
    }
    return best;
}

// Runs the event loop (sleeping while idle) until `done` holds.
template <typename F> void waitUntil(F done) {
    QTimer poll;
    poll.start(10);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

struct Run {
    const char* name;
    bool toFile;
    bool progress;
    int buffer;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const long mib = argc > 1 ? std::max(1L, std::atol(argv[1])) : 256;
    const size_t size = static_cast<size_t>(mib) * 1024 * 1024;

    vutest::LocalHTTPServer server;
    if (!server.running()) {
        std::fprintf(stderr, "cannot start the local server\n");
        return 1;
    }
    server.serve("/big", std::string(size, 'v'));
    const QString url = QString::fromStdString(server.url("/big"));
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("big.bin"));

    std::printf("Body: %ld MiB on loopback\n", mib);
    const double curl = curlSeconds(url, QStringLiteral("/dev/null"));
    if (curl <= 0) {
        std::fprintf(stderr, "curl failed\n");
        return 1;
    }
    std::printf("curl -s -o /dev/null        %8.3f s  %8.1f MiB/s\n", curl, mib / curl);
    // For reference only (ratios are to the line above): curl storing the body in a file.
    const double curlFile = curlSeconds(url, out);
    QFile::remove(out);
    std::printf("(curl -s -o FILE            %8.3f s  %8.1f MiB/s)\n", curlFile, mib / curlFile);

    const Run runs[] = {
        {"memory, no handler, 4 KiB", false, false, 4096},
        {"memory, no handler, 64 KiB", false, false, 65536},
        {"memory, handler,    4 KiB", false, true, 4096},
        {"memory, handler,    64 KiB", false, true, 65536},
        {"file,   no handler, 4 KiB", true, false, 4096},
        {"file,   no handler, 64 KiB", true, false, 65536},
        {"file,   handler,    4 KiB", true, true, 4096},
        {"file,   handler,    64 KiB", true, true, 65536},
    };
    Watch watch;
    qint64 longestStall = 0;
    long idleKiB = 0;
    long fileExtraKiB = 0;
    for (const Run& run : runs) {
        TvuCustomHTTP http;
        http.Proxy()->AccessType = atDirect;
        http.SetURL(url.toUtf8());
        http.SetTransferBufferSize(run.buffer);
        http.SetOutputFile(run.toFile ? out : QString());
        quint64 events = 0;
        if (run.progress)
            http.OnTransferProgress = [&events](QObject*, const QByteArray&, quint32, quint32,
                                                qint32, qint32, quint8, float,
                                                QIODevice*) { ++events; };
        bool ok = false;
        quint32 got = 0;
        http.OnDone = [&](QObject*, const QByteArray&, quint32 n, QIODevice*) {
            ok = true;
            got = n;
        };
        if (run.toFile && idleKiB == 0)
            idleKiB = residentKiB();
        watch.start();
        QElapsedTimer t;
        t.start();
        http.Read();
        while (http.Busy()) // the watch timer wakes the loop every millisecond
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        const double s = t.nsecsElapsed() / 1e9;
        watch.stop();
        longestStall = std::max(longestStall, watch.longest);
        if (run.toFile)
            fileExtraKiB = std::max(fileExtraKiB, watch.peakKiB - idleKiB);
        std::printf("%-28s%8.3f s  %8.1f MiB/s  ratio %.2f  %s%s  longest GUI stall %.1f ms\n",
                    run.name, s, mib / s, curl / s, ok && got == size ? "ok" : "FAILED",
                    run.progress ? qPrintable(QStringLiteral(" (%1 events)").arg(events)) : "",
                    watch.longest / 1e6);
        QFile::remove(out);
    }

    // Round trips onto the GUI thread.
    constexpr int trips = 20000;
    double syncUs = 0;
    {
        TvuCustomThread worker;
        QElapsedTimer t;
        double elapsed = 0;
        worker.SetOnExecute([&](TvuCustomThread*) {
            QElapsedTimer w;
            w.start();
            for (int i = 0; i < trips; ++i)
                TvuEventThread::SynchronizeCurrent([] {});
            elapsed = w.nsecsElapsed() / 1e3;
        });
        worker.Execute();
        waitUntil([&] { return elapsed != 0; });
        syncUs = elapsed / trips;
    }
    double qtUs = 0;
    {
        QObject target;
        QThread thread;
        double elapsed = 0;
        QObject* job = new QObject;
        job->moveToThread(&thread);
        QObject::connect(&thread, &QThread::started, job, [&] {
            QElapsedTimer w;
            w.start();
            for (int i = 0; i < trips; ++i)
                QMetaObject::invokeMethod(
                    &target, [] {}, Qt::BlockingQueuedConnection);
            elapsed = w.nsecsElapsed() / 1e3;
        });
        QObject::connect(&thread, &QThread::finished, job, &QObject::deleteLater);
        thread.start();
        waitUntil([&] { return elapsed != 0; });
        thread.quit();
        thread.wait();
        qtUs = elapsed / trips;
    }
    std::printf("Synchronize round trip      %8.1f us\n", syncUs);
    std::printf("BlockingQueuedConnection    %8.1f us  (Synchronize / Qt = %.2f)\n", qtUs,
                syncUs / qtUs);
    std::printf("Longest GUI thread stall    %8.1f ms\n", longestStall / 1e6);
    std::printf("Resident memory, file runs  %8ld KiB above idle\n", fileExtraKiB);
    return 0;
}
