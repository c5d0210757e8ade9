#include "upgrade/utils/vuUtils.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMimeDatabase>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <ctime>
#include <limits>
#include <mutex>
#include <unordered_map>

namespace {

// ---- Text helpers with the semantics the routines rely on ----

// Blanks and control characters (everything up to ' ') count as white space.
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

QByteArray Trim(const QByteArray& s) {
    int b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

QByteArray TrimLeft(const QByteArray& s) {
    int b = 0;
    while (b < s.size() && IsBlank(s[b]))
        ++b;
    return s.mid(b);
}

// Decimal integer with optional leading blanks and sign; false on anything else or overflow.
bool StrToInt(const QByteArray& s, int& out) {
    int i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    if (i >= s.size())
        return false;
    qint64 value = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        value = value * 10 + (s[i] - '0');
        if (value > static_cast<qint64>(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return false;
    out = static_cast<int>(value);
    return true;
}

int StrToIntDef(const QByteArray& s, int fallback) {
    int v = 0;
    return StrToInt(s, v) ? v : fallback;
}

// File-name parts by the rules of the registered commands: folders end with '\' or ':'.
int LastDelimiter(const QByteArray& delimiters, const QByteArray& s) {
    for (int i = s.size() - 1; i >= 0; --i) {
        if (delimiters.contains(s[i]))
            return i;
    }
    return -1;
}

QByteArray ExtractFileExt(const QByteArray& s) {
    const int i = LastDelimiter(".\\:", s);
    return i >= 0 && s[i] == '.' ? s.mid(i) : QByteArray();
}

QByteArray ExtractFilePath(const QByteArray& s) {
    return s.left(LastDelimiter("\\:", s) + 1);
}

QByteArray ExtractFileName(const QByteArray& s) {
    return s.mid(LastDelimiter("\\:", s) + 1);
}

// ---- Process start ----

std::mutex g_starterLock;
TvuProcessStarter g_starter;

bool StartProcess(const QString& program, const QStringList& args) {
    TvuProcessStarter starter;
    {
        std::lock_guard lock(g_starterLock);
        starter = g_starter;
    }
    if (starter)
        return starter(program, args);
    return QProcess::startDetached(program, args);
}

// ---- Desktop default applications ----

QStringList ConfigDirs() {
    QStringList dirs;
    const QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    dirs << (home.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : home);
    QString system = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (system.isEmpty())
        system = QStringLiteral("/etc/xdg");
    dirs << system.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return dirs;
}

QStringList DataDirs() {
    QStringList dirs;
    const QString home = qEnvironmentVariable("XDG_DATA_HOME");
    dirs << (home.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : home);
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty())
        system = QStringLiteral("/usr/local/share:/usr/share");
    dirs << system.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return dirs;
}

// Value of `key` in `[group]` of a desktop-entry style file; empty when missing.
QByteArray IniValue(const QString& path, const QByteArray& group, const QByteArray& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    bool inGroup = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(64 * 1024).trimmed();
        if (line.startsWith('[')) {
            inGroup = line == '[' + group + ']';
            continue;
        }
        if (!inGroup || line.startsWith('#'))
            continue;
        const int eq = line.indexOf('=');
        if (eq > 0 && line.left(eq).trimmed() == key)
            return line.mid(eq + 1).trimmed();
    }
    return QByteArray();
}

QString FindDesktopFile(const QString& id) {
    if (id.isEmpty() || id.contains(QLatin1Char('/')))
        return QString();
    for (const QString& dir : DataDirs()) {
        const QString path = dir + QStringLiteral("/applications/") + id;
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

QString DefaultDesktopFile(const QString& mimeType) {
    QStringList lists;
    for (const QString& dir : ConfigDirs())
        lists << dir + QStringLiteral("/mimeapps.list");
    for (const QString& dir : DataDirs())
        lists << dir + QStringLiteral("/applications/mimeapps.list");
    for (const QString& list : lists) {
        const QByteArray value = IniValue(list, "Default Applications", mimeType.toUtf8());
        for (const QByteArray& id : value.split(';')) {
            const QString path = FindDesktopFile(QString::fromUtf8(id.trimmed()));
            if (!path.isEmpty())
                return path;
        }
    }
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (tool.isEmpty())
        return QString();
    QProcess query;
    query.start(tool, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return QString();
    }
    return FindDesktopFile(QString::fromUtf8(query.readAllStandardOutput().trimmed()));
}

// ---- Events for WaitWithMessages ----

struct WaitEvent {
    bool signalled = false;
    QEventLoop* loop = nullptr; // the waiting loop, while it exists
    std::condition_variable cv; // used when the thread has no event loop
};

// Never destroyed: SignalEvent may still be called by a worker while the program exits.
std::mutex& g_eventsLock = *new std::mutex;
auto& g_events = *new std::unordered_map<std::intptr_t, std::shared_ptr<WaitEvent>>;
std::intptr_t g_nextEvent = 1;

std::atomic<bool> g_terminating{false};

} // namespace

// ---- Online test ----

bool IsOnline() {
    return HasNetworkAddress();
}

bool HasNetworkAddress() {
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0)
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &list) != 0 || !list)
        return false;
    QByteArray last;
    for (addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family != AF_INET || !a->ai_addr)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* sin = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        if (inet_ntop(AF_INET, &sin->sin_addr, text, sizeof(text)))
            last = text;
    }
    freeaddrinfo(list);
    return !last.isEmpty() && last != "127.0.0.1";
}

// ---- Percentage ----

quint8 PercentOf(double total, double done) {
    if (total == 0)
        return 0;
    const double value = std::nearbyint(done * 100.0 / total); // default mode: ties to even
    if (!std::isfinite(value) || value < 0 || value > 255)
        return 0;
    return static_cast<quint8>(value);
}

// ---- Browser look-up ----

void SplitAt(const QByteArray& separator, const QByteArray& text, QByteArray& left, int flags,
             bool whenMissing, QByteArray& right) {
    const int at = separator.isEmpty() ? -1 : text.indexOf(separator);
    if (at < 0) {
        if (whenMissing) {
            left.clear();
            right = text;
        } else {
            left = text;
            right.clear();
        }
        return;
    }
    QByteArray l = text.left(at);
    QByteArray r = text.mid(at + separator.size());
    if (flags & vuSplitSepToLeft)
        l += separator;
    if (flags & vuSplitSepToRight)
        r = separator + r;
    left = l;
    right = r;
}

void SplitCommandLine(QByteArray& command, QByteArray& parameters) {
    QByteArray cmd = Trim(command);
    command = cmd;
    if (cmd.isEmpty())
        return;
    QByteArray params;
    const int first = cmd.indexOf('"');
    int second = -1;
    if (first >= 0) {
        cmd.remove(first, 1);
        second = cmd.indexOf('"', first);
    }
    QByteArray kept;
    if (second >= 0) {
        cmd.remove(second, 1);
        if (first == 0) {
            params = Trim(cmd.mid(second + 1));
            cmd = cmd.left(second);
            const int q1 = params.indexOf('"');
            if (q1 >= 0) {
                params.remove(q1, 1);
                const int q2 = params.indexOf('"', q1);
                if (q2 >= 0)
                    params.remove(q2, 1);
            }
        } else {
            params = cmd.mid(first);
            cmd = cmd.left(first > 0 ? first - 1 : 0);
        }
    } else {
        kept = cmd;
        struct Try {
            const char* separator;
            int flags;
        };
        static const Try tries[] = {{" -", vuSplitSepToRight},
                                    {" /", vuSplitSepToRight},
                                    {" \\", vuSplitSepToRight},
                                    {",", 0},
                                    {" %", vuSplitSepToRight}};
        QByteArray left, right;
        for (int i = 0; i < 5; ++i) {
            if (i > 0 && !right.isEmpty())
                break;
            SplitAt(tries[i].separator, cmd, left, tries[i].flags, false, right);
            if (!ExtractFileExt(cmd).isEmpty() && ExtractFileExt(left).isEmpty()) {
                // The cut went through the program's own path: undo it.
                left = cmd;
                right = params;
            } else {
                cmd = left;
                params = right;
            }
        }
        if (ExtractFileExt(cmd).toUpper() == ".DLL" && cmd.toUpper().contains("RUNDLL")) {
            QByteArray word, rest;
            SplitAt(" ", ExtractFileName(kept), word, 0, false, rest);
            cmd = ExtractFilePath(kept) + word;
            params = rest;
        }
    }
    command = Trim(cmd);
    parameters = Trim(params);
}

QString GetAssociatedProgram(const QString& extension) {
    if (extension.isEmpty() || extension == QStringLiteral("."))
        return QString();
    const QString ext =
        extension.startsWith(QLatin1Char('.')) ? extension : QLatin1Char('.') + extension;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("file") + ext,
                                                           QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return QString();
    const QString desktop = DefaultDesktopFile(type.name());
    if (desktop.isEmpty())
        return QString();
    QByteArray command = IniValue(desktop, "Desktop Entry", "Exec");
    QByteArray params;
    SplitCommandLine(command, params);
    if (command.isEmpty())
        return QString();
    const QString program = QString::fromUtf8(command);
    if (QDir::isAbsolutePath(program)) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable() ? program : QString();
    }
    return QStandardPaths::findExecutable(program);
}

void OpenURL(const QString& url, bool useBrowser) {
    QString target = url;
    if (!target.contains(QStringLiteral("://")))
        target = QStringLiteral("http://") + target;
    // An address is handed over as one argument; one that starts with '-' would read as an option.
    if (target.startsWith(QLatin1Char('-')))
        return;
    if (useBrowser) {
        const QString program = GetAssociatedProgram(QStringLiteral(".html"));
        if (!program.isEmpty() && StartProcess(program, {target}))
            return;
    }
    StartProcess(QStringLiteral("xdg-open"), {target});
}

void SetProcessStarter(TvuProcessStarter starter) {
    std::lock_guard lock(g_starterLock);
    g_starter = std::move(starter);
}

// ---- Files ----

QString GetTempDir() {
    const QByteArray env = qgetenv("TMPDIR");
    if (!env.isEmpty()) {
        const QFileInfo info(QString::fromLocal8Bit(env));
        if (info.isDir()) {
            QString path = info.filePath();
            return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
        }
    }
    const QString own =
        QStringLiteral("/tmp/velmora-") + QString::number(static_cast<qulonglong>(getuid()));
    if (EnsurePrivateFolder(own))
        return own + QLatin1Char('/');
    QString dir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

bool EnsurePrivateFolder(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return false;
    if (mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    // Opened without following links, then checked through the open descriptor, so that the
    // folder cannot be swapped between the check and the change of mode.
    const int fd = open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid();
    if (ok && (st.st_mode & 077) != 0)
        ok = fchmod(fd, st.st_mode & 0700) == 0;
    close(fd);
    return ok;
}

QString URLToFileName(const QString& url) {
    QString s = url;
    s.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const int cut = std::max(s.lastIndexOf(QLatin1Char('\\')), s.lastIndexOf(QLatin1Char(':')));
    return s.mid(cut + 1);
}

namespace {

// A date-time packed with two-second resolution into the DOS range and read back as UTC seconds.
bool PackedFileTime(TDateTime value, timespec& out) {
    if (!std::isfinite(value))
        return false;
    int y, mo, d, h, mi, s, ms;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    if (y < 1980 || y > 2107)
        return false;
    TDateTime packed = 0;
    if (!TryEncodeDateTime(y, mo, d, h, mi, s / 2 * 2, 0, packed))
        return false;
    out.tv_sec = static_cast<time_t>(std::llround(UnixFromDateTime(packed)));
    out.tv_nsec = 0;
    return true;
}

} // namespace

bool SetFileTimes(const QString& fileName, TDateTime creation, TDateTime lastWrite,
                  TDateTime lastAccess) {
    Q_UNUSED(creation); // Linux keeps no settable creation time.
    const QByteArray path = QFile::encodeName(fileName);
    if (path.isEmpty())
        return false;
    const int fd = open(path.constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = 0;
    times[0].tv_nsec = times[1].tv_nsec = UTIME_OMIT;
    if (lastAccess != -1)
        PackedFileTime(lastAccess, times[0]);
    if (lastWrite != -1)
        PackedFileTime(lastWrite, times[1]);
    const bool ok = futimens(fd, times) == 0;
    close(fd);
    return ok;
}

qint64 FileSize64(const QString& fileName) {
    const QByteArray path = QFile::encodeName(fileName);
    struct stat st {};
    if (path.isEmpty() || stat(path.constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return -1;
    return static_cast<qint64>(st.st_size);
}

bool ResourceToStream(const QString& resourceName, const QString& resourceType, QIODevice* stream) {
    if (!stream || resourceName.isEmpty() || resourceType.isEmpty())
        return false;
    QFile resource(QStringLiteral(":/") + resourceType + QLatin1Char('/') + resourceName);
    if (!resource.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = resource.readAll();
    if (data.isEmpty())
        return false;
    return stream->isWritable() && stream->write(data) == data.size();
}

namespace {
QPointer<QWidget> g_mainWindow;
} // namespace

void SetApplicationMainWindow(QWidget* window) {
    g_mainWindow = window;
}

QWidget* ApplicationMainWindow() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    if (g_mainWindow)
        return g_mainWindow.data();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(widget))
            return widget;
    }
    return nullptr;
}

bool ApplicationTerminating() {
    return g_terminating.load() || !QCoreApplication::instance() || QCoreApplication::closingDown();
}

void CloseApplication() {
    if (QWidget* main = ApplicationMainWindow())
        main->close();
    g_terminating.store(true);
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

// ---- Versions ----

std::array<QByteArray, 4> SplitVersion(const QByteArray& version) {
    std::array<QByteArray, 4> parts;
    QByteArray rest = version + '.';
    for (auto& part : parts) {
        const int dot = rest.indexOf('.');
        if (dot < 0) {
            part = "0";
        } else {
            part = rest.left(dot);
            rest = rest.mid(dot + 1);
        }
    }
    return parts;
}

int CompareVersions(const QByteArray& first, const QByteArray& second) {
    const auto a = SplitVersion(first);
    const auto b = SplitVersion(second);
    for (int i = 0; i < 4; ++i) {
        int x = 0, y = 0;
        if (!StrToInt(a[i], x) || !StrToInt(b[i], y)) {
            const int c = first.compare(second);
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        if (x != y)
            return x > y ? 1 : -1;
    }
    return 0;
}

// ---- Time zone and HTTP dates ----

TDateTime LocalTimeBias() {
    const time_t now = time(nullptr);
    tm local{};
    if (!localtime_r(&now, &local))
        return 0;
    return (-static_cast<double>(local.tm_gmtoff) / 60.0) / 1440.0;
}

TDateTime UTCToLocal(TDateTime value) {
    return value - LocalTimeBias();
}

void CutToken(QByteArray& text, const QByteArray& separator, bool remove, QByteArray& token) {
    const int at = separator.isEmpty() ? -1 : text.indexOf(separator);
    if (at < 0) {
        token = text;
        if (remove)
            text.clear();
        return;
    }
    token = text.left(at);
    if (remove)
        text = text.mid(at + separator.size());
}

int DayNameIndex(const QByteArray& name) {
    static const char* const days[7] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    const QByteArray upper = name.toUpper();
    for (int i = 0; i < 7; ++i) {
        if (upper == days[i])
            return i + 1;
    }
    return 0;
}

int MonthNameIndex(const QByteArray& name) {
    static const char* const months[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                           "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const QByteArray upper = name.toUpper();
    for (int i = 0; i < 12; ++i) {
        if (upper == months[i])
            return i + 1;
    }
    return 0;
}

TDateTime ParseGMTOffset(const QByteArray& text) {
    const QByteArray s = Trim(text).left(5);
    if (s.isEmpty() || (s[0] != '+' && s[0] != '-'))
        return 0;
    int hours = 0, minutes = 0;
    // Both fields are plain digits: a sign or blank inside them is a conversion error.
    const QByteArray h = s.mid(1, 2), m = s.mid(3, 2);
    auto digits = [](const QByteArray& f) {
        return f.size() == 2 && f[0] >= '0' && f[0] <= '9' && f[1] >= '0' && f[1] <= '9';
    };
    if (!digits(h) || !digits(m) || !StrToInt(h, hours) || !StrToInt(m, minutes))
        return 0;
    const TDateTime delta = hours / 24.0 + minutes / 1440.0;
    return s[0] == '-' ? -delta : delta;
}

TDateTime ParseHTTPDate(const QByteArray& text) {
    QByteArray s = Trim(text);
    if (s.isEmpty())
        return 0;
    TDateTime result = 0;
    QByteArray token;
    [&] {
        if (DayNameIndex(s.left(3)) > 0) {
            CutToken(s, " ", true, token);
            s = TrimLeft(s);
        }
        const int dash = s.indexOf('-');
        const int blank = s.indexOf(' ');
        QByteArray sep = " ";
        if (dash >= 1 && (blank < 0 || dash < blank))
            sep = "-";
        int day = 1, month = 0;
        auto readDay = [&] {
            CutToken(s, sep, true, token);
            day = StrToIntDef(token, 1);
            s = TrimLeft(s);
        };
        auto readMonth = [&] {
            CutToken(s, sep, true, token);
            month = MonthNameIndex(token);
            s = TrimLeft(s);
        };
        CutToken(s, sep, false, token);
        if (MonthNameIndex(token) > 0) {
            readMonth();
            readDay();
        } else {
            readDay();
            readMonth();
        }
        CutToken(s, " ", true, token);
        int year = StrToIntDef(token, 1900);
        if (year == 1900) {
            // asctime: the time comes before the year.
            year = StrToIntDef(s, 1900);
            s = token;
        }
        if (year >= 0 && year < 80)
            year += 2000;
        else if (year >= 80 && year <= 99)
            year += 1900;
        if (!TryEncodeDate(year, month, day, result)) {
            result = 0;
            return;
        }
        if (s.contains(':')) {
            QByteArray time, part;
            CutToken(s, " ", true, time);
            CutToken(time, ":", true, part);
            const int hour = StrToIntDef(part, 0);
            CutToken(time, ":", true, part);
            const int minute = StrToIntDef(part, 0);
            CutToken(time, " ", true, part);
            const int second = StrToIntDef(part, 0);
            TDateTime fraction = 0;
            if (!TryEncodeTime(hour, minute, second, 0, fraction)) {
                result = 0;
                return;
            }
            result += fraction;
        }
        s = TrimLeft(s);
    }();
    if (s.size() > 4)
        result -= ParseGMTOffset(s);
    return UTCToLocal(result);
}

// ---- Waiting with a live event loop ----

void WaitWithMessages(TvuEventHandle& event, quint32 timeoutMs, bool stopOnTerminate) {
    auto waitEvent = std::make_shared<WaitEvent>();
    std::intptr_t id = 0;
    {
        std::lock_guard lock(g_eventsLock);
        id = g_nextEvent++;
        if (g_nextEvent <= 0)
            g_nextEvent = 1;
        g_events.emplace(id, waitEvent);
    }
    event.store(id);
    QDeadlineTimer deadline =
        timeoutMs == 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);

    auto signalled = [&] {
        std::lock_guard lock(g_eventsLock);
        return waitEvent->signalled;
    };

    if (!QCoreApplication::instance()) {
        // No event loop to keep alive: a plain wait.
        std::unique_lock lock(g_eventsLock);
        while (!waitEvent->signalled && !(stopOnTerminate && g_terminating.load())) {
            if (deadline.isForever()) {
                waitEvent->cv.wait(lock);
            } else if (waitEvent->cv.wait_for(
                           lock, std::chrono::milliseconds(deadline.remainingTime())) ==
                       std::cv_status::timeout) {
                break;
            }
        }
    } else {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        {
            std::lock_guard lock(g_eventsLock);
            waitEvent->loop = &loop;
        }
        bool loopUsable = true;
        while (true) {
            if (stopOnTerminate && ApplicationTerminating())
                break;
            if (signalled() || deadline.hasExpired())
                break;
            if (!deadline.isForever())
                timer.start(std::max<qint64>(1, deadline.remainingTime()));
            if (loopUsable) {
                loop.exec();
                if (signalled() || deadline.hasExpired())
                    break;
                // The loop ended without our event or time-out: the application is quitting,
                // which ends every event loop of the thread at once from now on.
                if (stopOnTerminate)
                    break;
                loopUsable = false;
            } else {
                QCoreApplication::processEvents(QEventLoop::AllEvents |
                                                QEventLoop::WaitForMoreEvents);
            }
        }
        timer.stop();
        std::lock_guard lock(g_eventsLock);
        waitEvent->loop = nullptr;
    }
    {
        std::lock_guard lock(g_eventsLock);
        g_events.erase(id);
    }
    event.store(-1);
}

void SignalEvent(std::intptr_t event) {
    if (event == 0 || event == -1)
        return;
    std::lock_guard lock(g_eventsLock);
    const auto it = g_events.find(event);
    if (it == g_events.end())
        return;
    WaitEvent& e = *it->second;
    e.signalled = true;
    e.cv.notify_all();
    if (e.loop) {
        QEventLoop* loop = e.loop;
        QMetaObject::invokeMethod(
            loop, [loop] { loop->quit(); }, Qt::QueuedConnection);
    }
}
