// What a broken download leaves beside its partial output file so that the next attempt of the
// same address can ask for the rest: the address and the validator the server sent with it
// (a strong ETag, or else Last-Modified), in the file named output file + ".resume"; and where a
// transfer stands with resuming (TvuResumeState).
#pragma once

#include <QByteArray>
#include <QList>
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

// A transfer's resuming of its output file: which bytes of a partial file it asks to skip, what
// the answer makes of them, and whether a record for the next attempt is written once the
// download breaks off.
class TvuResumeState {
public:
    enum class Answer {
        Continues, // 206 with the range asked for: the body goes on after the partial file
        StartOver, // 416, or a range that does not fit: ask again for the whole file
        Whole,     // anything else (200: the file changed): the body replaces the file
    };

    // Before the first request: a partial file of the same address with its record is continued
    // when resuming is wanted; any other record is stale and goes.
    void Prepare(const QString& outputFile, const QByteArray& url, bool wanted);
    // The bytes asked to be skipped; 0 when the whole is asked for.
    quint64 From() const { return from_; }
    // The request header lines that ask for the rest, if it is still the same file.
    QList<QByteArray> RequestHeaders() const;
    // The answer to a request for the rest (its status and Content-Range value). Continues sets
    // `length` to the whole file's length.
    Answer Judge(qint32 status, const QByteArray& contentRange, quint32& length);
    // The validator the answer offers for a later attempt (vuResumeRecord ValidatorOf).
    void Offer(const QByteArray& etag, const QByteArray& lastModified);

    // The partial file could not be continued after all: start over.
    void Refuse() { startOver_ = true; }
    bool StartingOver() const { return startOver_; }
    // Starting over: the record goes and the next request asks for the whole file.
    void Restart(const QString& outputFile);
    bool Resumed() const { return resumed_; }

    // The output file is open: continued (Resumed), or new for an answer that a later attempt
    // may continue when `resumable` and the answer offered a validator. An older record goes;
    // the new one is written only once the partial data is on the disk (Keep).
    void Opened(const QString& outputFile, bool resumable);
    // A broken download whose partial data is on the disk: writes the record beside it when it
    // can be continued. Whether a record stands.
    bool Keep(const QString& outputFile, const QByteArray& url);
    // The partial file goes after all (an abort): so does its record.
    void Drop(const QString& outputFile);
    bool Kept() const { return kept_; }

private:
    quint64 from_ = 0;
    QByteArray validator_;     // of the partial file asked to be continued
    QByteArray offered_;       // by the answer
    QByteArray keptValidator_; // for the record of this download
    bool resumed_ = false;
    bool startOver_ = false;
    bool resumable_ = false;
    bool kept_ = false;
};

} // namespace vu
