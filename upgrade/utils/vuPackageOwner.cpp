#include "upgrade/utils/vuPackageOwner.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vu {

namespace {

// How long dpkg-query may take before the question counts as unanswered.
constexpr int kQueryTimeoutMs = 30000;

// `text` as a dpkg-query pattern that matches only itself.
QString EscapedPattern(const QString& text) {
    QString pattern;
    for (const QChar c : text) {
        if (c == u'*' || c == u'?' || c == u'[' || c == u'\\')
            pattern += u'\\';
        pattern += c;
    }
    return pattern;
}

// What "dpkg-query -S" printed for the patterns (in the C locale, whose texts are parsed below);
// empty when it is missing, fails or takes too long. "No path found" (status 1) is an answer.
// The query is started with posix_spawn, not QProcess: QProcess's child shares this process's
// memory until it runs the program and calls interposed library functions meanwhile, which
// leaves the thread checker of the test builds (ThreadSanitizer) with a wrong picture of the
// calling thread; posix_spawn's child runs only the C library's own code.
QByteArray QueryPaths(const QStringList& patterns) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dpkg-query"));
    if (program.isEmpty())
        return {};
    std::vector<QByteArray> arguments{QFile::encodeName(program)};
    const QByteArray admin = qgetenv("DPKG_ADMINDIR");
    if (!admin.isEmpty())
        arguments.push_back("--admindir=" + admin);
    arguments.push_back("-S");
    arguments.push_back("--");
    for (const QString& pattern : patterns)
        arguments.push_back(QFile::encodeName(pattern));
    std::vector<QByteArray> environment;
    for (char** variable = environ; *variable != nullptr; ++variable)
        if (!QByteArray(*variable).startsWith("LC_ALL="))
            environment.emplace_back(*variable);
    environment.emplace_back("LC_ALL=C");
    const auto pointers = [](std::vector<QByteArray>& texts) {
        std::vector<char*> list;
        for (QByteArray& text : texts)
            list.push_back(text.data());
        list.push_back(nullptr);
        return list;
    };
    std::vector<char*> argv = pointers(arguments), envp = pointers(environment);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (started != 0) {
        ::close(out[0]);
        return {};
    }
    QByteArray output;
    bool timedOut = false;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kQueryTimeoutMs);
    while (true) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{out[0], POLLIN, 0};
        const int polled = left.count() > 0 ? ::poll(&ready, 1, static_cast<int>(left.count())) : 0;
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0) {
            timedOut = true;
            break;
        }
        char buffer[4096];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        output.append(buffer, n);
    }
    ::close(out[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) > 1)
        return {};
    return output;
}

struct Diversion {
    QString by; // the diverting package; empty for the administrator's own diversion
    QString to;
};

// The owner of the file, decided over dpkg-query's lines. `divertedFrom` collects the original
// names of diversions that lead to the file, whose packages the lines may not have named.
QString OwnerIn(const QByteArray& output, const std::function<bool(const QString&)>& sameFile,
                QStringList& divertedFrom) {
    static const QString localPrefix = QStringLiteral("local diversion ");
    static const QString byPrefix = QStringLiteral("diversion by ");
    QHash<QString, Diversion> diversions;
    QString lastFrom;
    for (const QByteArray& raw : output.split('\n')) {
        const QString line = QFile::decodeName(raw);
        if (line.startsWith(localPrefix) || line.startsWith(byPrefix)) {
            // "diversion by PKG from: PATH", "diversion by PKG to: PATH" and the same with
            // "local diversion" in place of "diversion by PKG".
            const bool local = line.startsWith(localPrefix);
            QString rest = line.mid(local ? localPrefix.size() : byPrefix.size());
            QString by;
            if (!local) {
                by = rest.section(u' ', 0, 0);
                rest = rest.section(u' ', 1);
            }
            if (rest.startsWith(QLatin1String("from: "))) {
                lastFrom = rest.mid(6);
                diversions.insert(lastFrom, {by, {}});
            } else if (rest.startsWith(QLatin1String("to: ")) && diversions.contains(lastFrom)) {
                diversions[lastFrom].to = rest.mid(4);
                if (sameFile(rest.mid(4)))
                    divertedFrom << lastFrom;
            }
            continue;
        }
        const qsizetype colon = line.indexOf(QLatin1String(": "));
        if (colon <= 0)
            continue;
        const QString listed = line.mid(colon + 2);
        QStringList packages = line.left(colon).split(QStringLiteral(", "));
        for (QString& package : packages)
            package = package.section(u':', 0, 0); // without its architecture
        const auto diversion = diversions.constFind(listed);
        if (diversion == diversions.cend()) {
            if (sameFile(listed))
                return packages.first();
            continue;
        }
        // Only the diverting package's own file keeps the name; every other package's file
        // of that name lies at the diverted name.
        if (sameFile(listed)) {
            if (!diversion->by.isEmpty() && packages.contains(diversion->by))
                return diversion->by;
        } else if (sameFile(diversion->to)) {
            for (const QString& package : packages)
                if (package != diversion->by)
                    return package;
        }
    }
    return {};
}

} // namespace

QString DpkgPackageOwning(const QString& path) {
    const QFileInfo program(path);
    const QString name = program.fileName();
    if (name.isEmpty())
        return {};
    // The lists are searched by the file's name, and the folders compared after resolving
    // links, so that either name of a linked folder matches.
    const QString canonical = program.canonicalFilePath();
    const auto sameFile = [&](const QString& listed) {
        return listed == path ||
               (!canonical.isEmpty() && QFileInfo(listed).canonicalFilePath() == canonical);
    };
    QStringList divertedFrom;
    const QString owner =
        OwnerIn(QueryPaths({QStringLiteral("*/") + EscapedPattern(name)}), sameFile, divertedFrom);
    if (!owner.isEmpty() || divertedFrom.isEmpty())
        return owner;
    // The file is the diverted copy of another name: the packages of that name own it.
    QStringList patterns;
    for (const QString& from : divertedFrom)
        patterns << EscapedPattern(from);
    QStringList ignored;
    return OwnerIn(QueryPaths(patterns), sameFile, ignored);
}

} // namespace vu
