#include "upgrade/http/vuResumeRecord.h"

#include "upgrade/http/vuResponseHeaders.h"

#include <QFile>
#include <QFileInfo>
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

void TvuResumeState::Prepare(const QString& outputFile, const QByteArray& url, bool wanted) {
    from_ = 0;
    if (!wanted || outputFile.isEmpty())
        return;
    TvuResumeRecord record;
    const qint64 size = QFileInfo(outputFile).size();
    if (TvuResumeRecord::Read(outputFile, record) && record.URL == url && size > 0 &&
        size < 0xFFFFFFFFll) {
        from_ = static_cast<quint64>(size);
        validator_ = record.Validator;
    } else {
        TvuResumeRecord::Remove(outputFile);
    }
}

QList<QByteArray> TvuResumeState::RequestHeaders() const {
    if (from_ == 0)
        return {};
    return {"Range: bytes=" + QByteArray::number(from_) + "-", "If-Range: " + validator_};
}

TvuResumeState::Answer TvuResumeState::Judge(qint32 status, const QByteArray& contentRange,
                                             quint32& length) {
    if (status == 206) {
        TvuContentRange range;
        if (!ParseContentRange(contentRange, range) || range.First != from_ ||
            range.Last + 1 > 0xFFFFFFFFull) {
            startOver_ = true;
            return Answer::StartOver;
        }
        resumed_ = true;
        length = static_cast<quint32>(range.Last + 1);
        return Answer::Continues;
    }
    if (status == 416) {
        startOver_ = true;
        return Answer::StartOver;
    }
    from_ = 0;
    return Answer::Whole;
}

void TvuResumeState::Offer(const QByteArray& etag, const QByteArray& lastModified) {
    offered_ = TvuResumeRecord::ValidatorOf(etag, lastModified);
}

void TvuResumeState::Restart(const QString& outputFile) {
    TvuResumeRecord::Remove(outputFile);
    startOver_ = false;
    resumed_ = false;
}

void TvuResumeState::Opened(const QString& outputFile, bool resumable) {
    if (resumed_) {
        resumable_ = true;
        keptValidator_ = validator_;
    } else {
        resumable_ = resumable && !offered_.isEmpty();
        keptValidator_ = offered_;
    }
    TvuResumeRecord::Remove(outputFile);
}

bool TvuResumeState::Keep(const QString& outputFile, const QByteArray& url) {
    if (resumable_)
        kept_ = TvuResumeRecord{url, keptValidator_}.Write(outputFile);
    return kept_;
}

void TvuResumeState::Drop(const QString& outputFile) {
    if (kept_)
        TvuResumeRecord::Remove(outputFile);
    kept_ = false;
}

} // namespace vu
