// Throughput benchmark of the HTTP transfer component on loopback (run by hand, not a test).
//
// A local server serves one body (256 MiB unless given). Each case compares like with like, in
// interleaved pairs measured in one run: the component writing an output file against
// `curl -s -o FILE`, and the component into a memory stream against `curl -s -o /dev/null`. For
// every case it prints the min and the median of the speed ratio (curl's time / the component's,
// so 1.00 = as fast as curl). Alongside: the longest stall of the GUI thread's event loop while
// the component ran (a timer ticking every millisecond; its anchor is the same watch while nothing
// is transferred), the resident memory during the file
// downloads above the idle figure, and how long Abort takes in the middle of a large transfer.
// Each case's longest stall is taken apart: how much of it the GUI thread spent running, waiting
// for a processor (the kernel's run-queue figures of the thread) or asleep, and the longest single
// event the GUI thread handled in that case (where the component's own work would show).
//
//   transfer_bench [size in MiB, default 256] [pairs, default 7] [only the cases whose name holds
//   this text, e.g. "file,   handler", "4 KiB" or "abort"; the abort cases are named
//   "abort, " + their description]

#include "tests/upgrade/http/server/local_http_server.h"

#include "upgrade/http/vuHTTP.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <QEvent>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace vu;

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

// The calling thread's time on a processor and waiting for one, in ns, from the kernel.
struct SchedTimes {
    qint64 running = 0;
    qint64 waiting = 0;
};

class SchedReader {
public:
    SchedReader() : fd_(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) {}
    ~SchedReader() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    SchedTimes read() const {
        char text[128];
        const ssize_t n = fd_ >= 0 ? ::pread(fd_, text, sizeof text - 1, 0) : -1;
        SchedTimes t;
        if (n > 0) {
            text[n] = '\0';
            std::sscanf(text, "%lld %lld", &t.running, &t.waiting);
        }
        return t;
    }

private:
    int fd_;
};

// The longest time one event took to be handled on the GUI thread: its type, its receiver's
// class, and how much of it the thread ran or waited for a processor (the rest it slept).
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    struct Longest {
        qint64 ns = 0;
        SchedTimes sched;
        int type = 0;
        const char* receiver = "";
    } longest;
    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --depth_;
            return handled;
        }
        // Read before: the event and its receiver may be gone afterwards.
        const int type = event->type();
        const char* name = receiver->metaObject()->className();
        const SchedTimes before = sched_.read();
        QElapsedTimer t;
        t.start();
        const bool handled = QApplication::notify(receiver, event);
        const qint64 ns = t.nsecsElapsed();
        --depth_;
        if (ns > longest.ns) {
            const SchedTimes after = sched_.read();
            longest = {
                ns, {after.running - before.running, after.waiting - before.waiting}, type, name};
        }
        return handled;
    }

private:
    int depth_ = 0;
    SchedReader sched_;
};

// Watches the GUI thread: the longest gap between two ticks of a 1 ms timer (with how much of it
// the thread ran, waited for a processor, or slept), and the largest resident size seen.
struct Watch {
    QTimer timer;
    QElapsedTimer clock;
    SchedReader sched;
    qint64 last = 0;
    SchedTimes lastSched;
    qint64 longest = 0;
    SchedTimes longestSched;                // of the longest gap
    TimedApplication::Longest longestEvent; // the longest single event handled while watching
    long peakKiB = 0;
    unsigned ticks = 0;
    Watch() {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
    }
    void start() {
        peakKiB = residentKiB();
        clock.start();
        last = clock.nsecsElapsed();
        lastSched = sched.read();
        app()->longest = {};
        timer.start();
    }
    void stop() {
        tick();
        timer.stop();
        if (app()->longest.ns > longestEvent.ns)
            longestEvent = app()->longest;
    }
    static TimedApplication* app() { return static_cast<TimedApplication*>(qApp); }
    void tick() {
        const qint64 now = clock.nsecsElapsed();
        const SchedTimes times = sched.read();
        if (now - last > longest) {
            longest = now - last;
            longestSched = {times.running - lastSched.running, times.waiting - lastSched.waiting};
        }
        last = now;
        lastSched = times;
        if (++ticks % 16 == 0) // reading /proc costs; every 16th tick is enough
            peakKiB = std::max(peakKiB, residentKiB());
    }
    void reset() {
        longest = 0;
        longestSched = {};
        longestEvent = {};
    }
    // "running a + waiting for a CPU b + asleep c" of the longest gap and of the longest single
    // event, in ms.
    void printBreakdown(const char* who) const {
        auto split = [](qint64 ns, const SchedTimes& t) {
            const double run = t.running / 1e6, wait = t.waiting / 1e6;
            std::printf("%6.1f ms = run %5.1f + wait for CPU %5.1f + asleep %5.1f", ns / 1e6, run,
                        wait, std::max(0.0, ns / 1e6 - run - wait));
        };
        std::printf("    %-9s gap ", who);
        split(longest, longestSched);
        std::printf("; event ");
        split(longestEvent.ns, longestEvent.sched);
        std::printf(" (type %d, %s)\n", longestEvent.type, longestEvent.receiver);
    }
};

// Seconds curl takes to fetch url into target; negative on failure. The GUI thread's event loop
// runs meanwhile under the watch, so that its stalls while the local server feeds curl are the
// anchor for those while it feeds the component.
double curlSeconds(const QString& curl, const QString& url, const QString& target, Watch& watch) {
    QProcess p;
    bool finished = false;
    QObject::connect(&p, &QProcess::finished, [&finished] { finished = true; });
    QElapsedTimer t;
    t.start();
    p.start(curl, {QStringLiteral("-s"), QStringLiteral("-o"), target, url});
    // Watched from here: starting the process (a fork of this large process) is the benchmark's
    // own doing, not the transfer's.
    watch.start();
    while (!finished && p.state() != QProcess::NotRunning)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (!finished)
        p.waitForFinished(600000);
    const double s = t.nsecsElapsed() / 1e9;
    watch.stop();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 ? s : -1;
}

// Processor time (ms) and context switches of the whole process (all its threads, the local
// server's among them) and of the GUI thread alone, over one transfer.
struct Usage {
    double processMs = 0;
    double guiMs = 0;
    double switches = 0;    // the process's, voluntary and involuntary
    double guiSwitches = 0; // the GUI thread's
    static Usage now() {
        rusage process{}, gui{};
        ::getrusage(RUSAGE_SELF, &process);
        ::getrusage(RUSAGE_THREAD, &gui);
        auto ms = [](const rusage& r) {
            return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 +
                   (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
        };
        return {ms(process), ms(gui), double(process.ru_nvcsw + process.ru_nivcsw),
                double(gui.ru_nvcsw + gui.ru_nivcsw)};
    }
    Usage operator-(const Usage& o) const {
        return {processMs - o.processMs, guiMs - o.guiMs, switches - o.switches,
                guiSwitches - o.guiSwitches};
    }
};

struct Case {
    const char* name;
    bool toFile;
    bool progress;
    int buffer;
    std::vector<double> ratios;
};

// Seconds the component takes for one transfer of the case; negative on failure.
double componentSeconds(const Case& c, const QString& url, const QString& out, size_t size,
                        Watch& watch, long idleKiB, long& extraKiB, Usage& usage) {
    TvuCustomHTTP http;
    http.Proxy()->AccessType = atDirect;
    http.SetURL(url.toUtf8());
    http.SetTransferBufferSize(c.buffer);
    http.SetOutputFile(c.toFile ? out : QString());
    quint64 events = 0;
    if (c.progress)
        http.OnTransferProgress = [&events](QObject*, const QByteArray&, quint32, quint32, qint32,
                                            qint32, quint8, float, QIODevice*) { ++events; };
    bool ok = false;
    http.OnDone = [&](QObject*, const QByteArray&, quint32 n, QIODevice*) { ok = n == size; };
    watch.start();
    const Usage before = Usage::now();
    QElapsedTimer t;
    t.start();
    http.Read();
    while (http.Busy()) // the watch timer wakes the loop every millisecond
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    const double s = t.nsecsElapsed() / 1e9;
    usage = Usage::now() - before;
    watch.stop();
    if (c.toFile)
        extraKiB = std::max(extraKiB, watch.peakKiB - idleKiB);
    const quint64 chunks = (size + static_cast<size_t>(c.buffer) - 1) / c.buffer;
    if (c.progress && events != chunks)
        return -1;
    return ok ? s : -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    TimedApplication app(argc, argv);
    const long mib = argc > 1 ? std::max(1L, std::atol(argv[1])) : 256;
    const int pairs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const QByteArray only = argc > 3 ? QByteArray(argv[3]) : QByteArray();
    const size_t size = static_cast<size_t>(mib) * 1024 * 1024;
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty()) {
        std::fprintf(stderr, "curl not found\n");
        return 1;
    }

    vutest::LocalHTTPServer server;
    if (!server.running()) {
        std::fprintf(stderr, "cannot start the local server\n");
        return 1;
    }
    server.serve("/big", std::string(size, 'v'));
    const QString url = QString::fromStdString(server.url("/big"));
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("big.bin"));
    const QString curlOut = dir.filePath(QStringLiteral("curl.bin"));

    std::vector<Case> cases = {
        {"file,   handler,    4 KiB (updater)", true, true, 4096, {}},
        {"file,   no handler, 4 KiB", true, false, 4096, {}},
        {"file,   handler,    64 KiB", true, true, 65536, {}},
        {"file,   no handler, 64 KiB", true, false, 65536, {}},
        {"memory, handler,    4 KiB", false, true, 4096, {}},
        {"memory, no handler, 4 KiB", false, false, 4096, {}},
        {"memory, handler,    64 KiB", false, true, 65536, {}},
        {"memory, no handler, 64 KiB", false, false, 65536, {}},
    };
    Watch watch;
    // The anchor for the stalls: the same watch for a second with no transfer at all (on a
    // loaded machine the event loop misses ticks by itself).
    watch.start();
    {
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    watch.stop();
    const qint64 idleStall = watch.longest;
    const long idleKiB = residentKiB();
    long extraKiB = 0;
    std::printf("Body: %ld MiB on loopback, %d interleaved pairs per case\n", mib, pairs);
    std::printf("Ratio = curl's time / the component's time (file vs curl -o FILE, memory vs "
                "curl -o /dev/null)\n\n");
    std::printf("%-36s %8s %8s %12s %12s %10s %10s\n", "case", "min", "median", "component s",
                "curl s", "stall ms", "curl's");
    qint64 longestStall = 0, longestCurlStall = 0;
    Watch curlWatch;
    for (Case& c : cases) {
        if (!QByteArray(c.name).contains(only))
            continue;
        watch.reset();
        curlWatch.reset();
        std::vector<double> own, theirs;
        std::vector<double> processMs, guiMs, switches, guiSwitches;
        Usage usage;
        for (int i = 0; i < pairs; ++i) {
            // Alternate which side goes first, so that neither always meets a warm cache.
            double a = 0, b = 0;
            const QString target = c.toFile ? curlOut : QStringLiteral("/dev/null");
            if (i % 2 == 0) {
                b = curlSeconds(curl, url, target, curlWatch);
                a = componentSeconds(c, url, out, size, watch, idleKiB, extraKiB, usage);
            } else {
                a = componentSeconds(c, url, out, size, watch, idleKiB, extraKiB, usage);
                b = curlSeconds(curl, url, target, curlWatch);
            }
            QFile::remove(out);
            QFile::remove(curlOut);
            if (a <= 0 || b <= 0) {
                std::fprintf(stderr, "%s: a transfer failed\n", c.name);
                return 1;
            }
            own.push_back(a);
            processMs.push_back(usage.processMs);
            guiMs.push_back(usage.guiMs);
            switches.push_back(usage.switches);
            guiSwitches.push_back(usage.guiSwitches);
            theirs.push_back(b);
            c.ratios.push_back(b / a);
        }
        std::printf("%-36s %8.2f %8.2f %12.3f %12.3f %10.1f %10.1f\n", c.name,
                    *std::min_element(c.ratios.begin(), c.ratios.end()), median(c.ratios),
                    median(own), median(theirs), watch.longest / 1e6, curlWatch.longest / 1e6);
        std::printf("    component CPU (median): process %.0f ms, GUI thread %.0f ms; context "
                    "switches: process %.0f, GUI thread %.0f\n",
                    median(processMs), median(guiMs), median(switches), median(guiSwitches));
        watch.printBreakdown("component");
        curlWatch.printBreakdown("curl");
        longestStall = std::max(longestStall, watch.longest);
        longestCurlStall = std::max(longestCurlStall, curlWatch.longest);
        std::fflush(stdout);
    }

    // Abort of a large transfer with a progress handler: into memory at half the body, into a
    // file at half the body, and into a file at its last event (the worker is then writing out
    // the rest or syncing the file).
    struct AbortCase {
        const char* name;
        bool toFile;
        double at; // the share of the body after which to abort
        std::vector<double> ms;
        double longest = 0;
        SchedTimes longestSched; // of the longest abort
    };
    std::vector<AbortCase> abortCases = {{"memory, at half the body", false, 0.5, {}, 0, {}},
                                         {"file, at half the body", true, 0.5, {}, 0, {}},
                                         {"file, at the last event", true, 1.0, {}, 0, {}}};
    for (AbortCase& a : abortCases) {
        if (!(QByteArray("abort, ") + a.name).contains(only))
            continue;
        for (int i = 0; i < pairs; ++i) {
            TvuCustomHTTP http;
            http.Proxy()->AccessType = atDirect;
            http.SetURL(url.toUtf8());
            http.SetOutputFile(a.toFile ? out : QString());
            bool reached = false;
            const quint64 mark = static_cast<quint64>(static_cast<double>(size) * a.at);
            http.OnTransferProgress = [&](QObject*, const QByteArray&, quint32, quint32 bytes,
                                          qint32, qint32, quint8, float,
                                          QIODevice*) { reached = reached || bytes >= mark; };
            http.Read();
            while (!reached && http.Busy())
                QCoreApplication::processEvents(QEventLoop::AllEvents |
                                                QEventLoop::WaitForMoreEvents);
            if (!http.Transferring())
                continue; // finished before the abort: nothing to measure
            SchedReader sched;
            const SchedTimes before = sched.read();
            QElapsedTimer t;
            t.start();
            http.Abort();
            a.ms.push_back(t.nsecsElapsed() / 1e6);
            if (a.ms.back() > a.longest) {
                const SchedTimes after = sched.read();
                a.longest = a.ms.back();
                a.longestSched = {after.running - before.running, after.waiting - before.waiting};
            }
            while (http.Transferring())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QFile::remove(out);
        }
    }

    std::printf(
        "\nLongest GUI thread stall     %8.1f ms (while curl ran: %.1f ms, idle: %.1f ms)\n",
        longestStall / 1e6, longestCurlStall / 1e6, idleStall / 1e6);
    std::printf("Resident memory, file runs   %8ld KiB above idle (%ld KiB)\n", extraKiB, idleKiB);
    for (const AbortCase& a : abortCases)
        if (!a.ms.empty())
            std::printf(
                "Abort, %-26s max %.2f ms (run %.2f + wait for CPU %.2f + asleep %.2f), "
                "median %.2f ms (%zu of %d aborted running)\n",
                a.name, a.longest, a.longestSched.running / 1e6, a.longestSched.waiting / 1e6,
                std::max(0.0, a.longest - (a.longestSched.running + a.longestSched.waiting) / 1e6),
                median(a.ms), a.ms.size(), pairs);
    return 0;
}
