#include "upgrade/http/vuResumeRecord.h"

#include <QFile>
#include <QSaveFile>

namespace vu {

namespace {

// A line of the record: the address goes into the request and the validator into the If-Range
// header as they are, so neither may hold a byte that ends or cuts a line there.
bool UsableLine(const QByteArray& line) {
    return !line.isEmpty() && !line.contains('\n') && !line.contains('\r') && !line.contains('\0');
}

} // namespace

QString TvuResumeRecord::PathFor(const QString& outputFile) {
    return outputFile + QStringLiteral(".resume");
}

bool TvuResumeRecord::Read(const QString& outputFile, TvuResumeRecord& record) {
    QFile file(PathFor(outputFile));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Two lines: the address and the validator. Anything else is not a record of ours.
    const QByteArray text = file.read(8192);
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() != 3 || !lines[2].isEmpty() || !UsableLine(lines[0]) || !UsableLine(lines[1]))
        return false;
    record.URL = lines[0];
    record.Validator = lines[1];
    return true;
}

bool TvuResumeRecord::Write(const QString& outputFile) const {
    if (!UsableLine(URL) || !UsableLine(Validator))
        return false;
    QSaveFile file(PathFor(outputFile));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray text = URL + '\n' + Validator + '\n';
    if (file.write(text) != text.size())
        return false;
    return file.commit();
}

void TvuResumeRecord::Remove(const QString& outputFile) {
    QFile::remove(PathFor(outputFile));
}

QByteArray TvuResumeRecord::ValidatorOf(const QByteArray& etag, const QByteArray& lastModified) {
    const QByteArray tag = etag.trimmed();
    if (tag.size() >= 2 && tag.startsWith('"') && tag.endsWith('"'))
        return tag;
    return lastModified.trimmed();
}

} // namespace vu
