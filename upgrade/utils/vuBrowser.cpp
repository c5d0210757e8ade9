#include "upgrade/utils/vuBrowser.h"

#include "upgrade/utils/vuCommandSplit.h"
#include "upgrade/utils/vuEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

namespace vu {

namespace {

// ---- Desktop default applications ----

// The user's folder named by `homeVariable` (else `homeDefault` below the home folder), then
// the system's folders listed in `systemVariable` (else `systemDefault`), as the desktop's
// base-directory rules have it.
QStringList BaseDirs(const char* homeVariable, const QString& homeDefault,
                     const char* systemVariable, const QString& systemDefault) {
    QStringList dirs;
    const QString home = qEnvironmentVariable(homeVariable);
    dirs << (home.isEmpty() ? QDir::homePath() + homeDefault : home);
    QString system = qEnvironmentVariable(systemVariable);
    if (system.isEmpty())
        system = systemDefault;
    dirs << system.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return dirs;
}

QStringList ConfigDirs() {
    return BaseDirs("XDG_CONFIG_HOME", QStringLiteral("/.config"), "XDG_CONFIG_DIRS",
                    QStringLiteral("/etc/xdg"));
}

QStringList DataDirs() {
    return BaseDirs("XDG_DATA_HOME", QStringLiteral("/.local/share"), "XDG_DATA_DIRS",
                    QStringLiteral("/usr/local/share:/usr/share"));
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

} // namespace

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
        if (!program.isEmpty() && env::StartProcess(program, {target}))
            return;
    }
    env::StartProcess(QStringLiteral("xdg-open"), {target});
}

} // namespace vu
