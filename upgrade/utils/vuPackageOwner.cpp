#include "upgrade/utils/vuPackageOwner.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>

#include <functional>

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
QByteArray QueryPaths(const QStringList& patterns) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dpkg-query"));
    if (program.isEmpty())
        return {};
    QStringList arguments;
    const QByteArray admin = qgetenv("DPKG_ADMINDIR");
    if (!admin.isEmpty())
        arguments << QStringLiteral("--admindir=") + QString::fromLocal8Bit(admin);
    arguments << QStringLiteral("-S") << QStringLiteral("--") << patterns;
    QProcess query;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    query.setProcessEnvironment(environment);
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start(program, arguments);
    if (!query.waitForFinished(kQueryTimeoutMs)) {
        query.kill();
        query.waitForFinished(kQueryTimeoutMs);
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() > 1)
        return {};
    return query.readAllStandardOutput();
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
