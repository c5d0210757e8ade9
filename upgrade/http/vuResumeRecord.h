// What a broken download leaves beside its partial output file so that the next attempt of the
// same address can ask for the rest: the address and the validator the server sent with it
// (a strong ETag, or else Last-Modified), in the file named output file + ".resume".
#pragma once

#include <QByteArray>
#include <QString>

namespace vu {

struct TvuResumeRecord {
    QByteArray URL;
    QByteArray Validator; // the If-Range value: an entity tag with its quotes, or an HTTP date

    // The record's file beside an output file.
    static QString PathFor(const QString& outputFile);
    // Reads the record of an output file; false when there is none or it cannot be used.
    static bool Read(const QString& outputFile, TvuResumeRecord& record);
    // Writes it (replacing an older one); false when it cannot be written.
    bool Write(const QString& outputFile) const;
    // Removes the record of an output file (not the file).
    static void Remove(const QString& outputFile);

    // The validator a response offers for resuming: a strong ETag, else Last-Modified; empty
    // when it offers neither (a weak ETag cannot vouch for byte ranges).
    static QByteArray ValidatorOf(const QByteArray& etag, const QByteArray& lastModified);
};

} // namespace vu
