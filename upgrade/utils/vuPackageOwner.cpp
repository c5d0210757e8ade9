#include "upgrade/utils/vuPackageOwner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vu {

QString DpkgPackageOwning(const QString& path) {
    const QByteArray admin = qgetenv("DPKG_ADMINDIR");
    const QDir info(QString::fromLocal8Bit(admin.isEmpty() ? QByteArray("/var/lib/dpkg") : admin) +
                    QStringLiteral("/info"));
    const QFileInfo program(path);
    const QString canonical = program.canonicalFilePath();
    const QByteArray name = QFile::encodeName(program.fileName());
    if (name.isEmpty())
        return {};
    const QByteArray ending = '/' + name;
    const QStringList lists = info.entryList({QStringLiteral("*.list")}, QDir::Files, QDir::Name);
    for (const QString& list : lists) {
        QFile file(info.filePath(list));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray content = file.readAll();
        // Only lines that end in the program's name can name it; the folder part is compared
        // after resolving links, so that either name of a linked folder matches.
        for (qsizetype at = content.indexOf(ending); at >= 0;
             at = content.indexOf(ending, at + 1)) {
            const qsizetype end = at + ending.size();
            if (end < content.size() && content.at(end) != '\n')
                continue;
            const qsizetype start = content.lastIndexOf('\n', at) + 1;
            const QString listed = QFile::decodeName(content.mid(start, end - start));
            if (listed == path ||
                (!canonical.isEmpty() && QFileInfo(listed).canonicalFilePath() == canonical))
                return list.chopped(5).section(QLatin1Char(':'), 0, 0);
        }
    }
    return {};
}

} // namespace vu
