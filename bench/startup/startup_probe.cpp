#include "startup_probe.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

QString probeFile(const char* variable) {
    return qEnvironmentVariable(variable);
}

// Sums the Rss lines of /proc/self/smaps by the name of the mapping they follow; mappings
// without a name count as [anon].
void writeResidentMap(const QString& path) {
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QHash<QString, qint64> kib;
    QString current = QStringLiteral("[anon]");
    // A virtual file whose size reads as 0: read it whole, then line by line.
    const QList<QByteArray> lines = smaps.readAll().split('\n');
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.isEmpty())
            continue;
        if (fields[0].contains(QLatin1Char('-')) && !fields[0].endsWith(QLatin1Char(':'))) {
            // A mapping's header: address range, permissions, offset, device, inode, name.
            current = fields.size() >= 6 ? fields.mid(5).join(QLatin1Char(' '))
                                         : QStringLiteral("[anon]");
        } else if (fields[0] == QLatin1String("Rss:") && fields.size() >= 2) {
            kib[current] += fields[1].toLongLong();
        }
    }
    std::vector<std::pair<qint64, QString>> sorted;
    for (auto it = kib.cbegin(); it != kib.cend(); ++it)
        if (it.value() > 0)
            sorted.emplace_back(it.value(), it.key());
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return;
    QTextStream stream(&out);
    for (const auto& [size, name] : sorted)
        stream << size << '\t' << name << '\n';
}

// For every mapping of a file, the offsets of its pages that are mapped into the process (the
// "present" bit of /proc/self/pagemap), one "offset<TAB>path" line each.
void writeMappedPages(const QString& path) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    QFile pagemap(QStringLiteral("/proc/self/pagemap"));
    QFile out(path);
    if (!maps.open(QIODevice::ReadOnly | QIODevice::Text) || !pagemap.open(QIODevice::ReadOnly) ||
        !out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return;
    const qint64 page = 4096;
    QTextStream stream(&out);
    const QList<QByteArray> lines = maps.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QStringList fields =
            QString::fromUtf8(line).trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 6 || !fields[5].startsWith(QLatin1Char('/')))
            continue;
        const QStringList range = fields[0].split(QLatin1Char('-'));
        const quint64 start = range[0].toULongLong(nullptr, 16);
        const quint64 end = range[1].toULongLong(nullptr, 16);
        const quint64 fileOffset = fields[2].toULongLong(nullptr, 16);
        const QString name = fields.mid(5).join(QLatin1Char(' '));
        for (quint64 address = start; address < end; address += page) {
            quint64 entry = 0;
            if (!pagemap.seek(static_cast<qint64>(address / page * 8)) ||
                pagemap.read(reinterpret_cast<char*>(&entry), 8) != 8)
                break;
            if (entry >> 63)
                stream << (fileOffset + address - start) << '\t' << name << '\n';
        }
    }
}

} // namespace

void recordStartupProbes(QWidget& window) {
    if (const QString path = probeFile("VELMORA_PROBE_RESIDENT"); !path.isEmpty())
        writeResidentMap(path);
    if (const QString path = probeFile("VELMORA_PROBE_PAGES"); !path.isEmpty())
        writeMappedPages(path);
    if (const QString path = probeFile("VELMORA_PROBE_GRAB"); !path.isEmpty())
        window.grab().save(path, "PNG");
    if (const QString path = probeFile("VELMORA_PROBE_SCREEN"); !path.isEmpty())
        if (QScreen* screen = QGuiApplication::primaryScreen())
            screen->grabWindow(0).save(path, "PNG");
}
