// The record a broken download leaves beside its partial file, read back by the next attempt.
// A record that reads holds one address and one validator, each usable in a request line or
// header as it is, and writes back to a file that reads as the same record.
#include "tests/fuzz/fuzz_check.h"
#include "upgrade/http/vuResumeRecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

using vu::TvuResumeRecord;

namespace {

// Nothing that would end or split a header line.
bool UsableInHeader(const QByteArray& value) {
    return !value.isEmpty() && !value.contains('\n') && !value.contains('\r') &&
           !value.contains('\0');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/velmora-fuzz-XXXXXX"));
    FUZZ_CHECK(folder.isValid());
    const QString output = folder.filePath(QStringLiteral("download.uTMP"));
    {
        QFile file(TvuResumeRecord::PathFor(output));
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                   static_cast<qint64>(size));
    }
    TvuResumeRecord record;
    if (TvuResumeRecord::Read(output, record)) {
        FUZZ_CHECK(UsableInHeader(record.URL));
        FUZZ_CHECK(UsableInHeader(record.Validator));
        const QString copy = folder.filePath(QStringLiteral("copy.uTMP"));
        FUZZ_CHECK(record.Write(copy));
        TvuResumeRecord again;
        FUZZ_CHECK(TvuResumeRecord::Read(copy, again));
        FUZZ_CHECK(again.URL == record.URL && again.Validator == record.Validator);
        TvuResumeRecord::Remove(copy);
    }
    // The writer refuses what the reader would not take back.
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype cut = text.indexOf('\t');
    const TvuResumeRecord made{text.left(cut), cut < 0 ? QByteArray("\"v\"") : text.mid(cut + 1)};
    if (made.Write(output)) {
        TvuResumeRecord again;
        FUZZ_CHECK(TvuResumeRecord::Read(output, again));
        FUZZ_CHECK(again.URL == made.URL && again.Validator == made.Validator);
    }
    TvuResumeRecord::Remove(output);
    return 0;
}
