// The header block of an HTTP response as it arrives line by line, and the readings of the
// header values a transfer acts on (its length, the range of a partial answer, the realm of an
// authentication request). All of it is the server's word: nothing here trusts its form.
#pragma once

#include <QByteArray>
#include <QList>

namespace vu {

class TvuResponseHeaders {
public:
    enum class Line {
        Status, // a status line: a new response begins (an earlier one is forgotten)
        Header, // a header line of the response
        End,    // the empty line that ends the block
        Ignored // outside a header block (trailers after a body, noise before a status line)
    };

    // One line as received, with or without its line end. A CR or NUL inside it reads as a blank.
    Line Add(QByteArray line);
    void Clear();

    // The status of the response: -1 before a status line, 0 when it holds no valid status
    // (three digits), else 100 to 999.
    qint32 Status() const { return status_; }
    bool Complete() const { return complete_; }
    // The first header of that name (case-insensitive), trimmed; false when missing.
    bool Query(const QByteArray& name, QByteArray& value) const;
    // Status line and header lines, each ending in CR LF, then CR LF; empty before a response.
    QByteArray Raw() const;

private:
    QList<QByteArray> lines_; // the status line first, without line ends
    qint32 status_ = -1;
    bool complete_ = false;
};

// A Content-Length value; false when it is not a number or beyond 32 bits (such a length cannot
// be counted against and counts as not announced).
bool ParseContentLength(const QByteArray& value, quint32& length);

// "bytes FIRST-LAST/TOTAL" (TOTAL may be "*").
struct TvuContentRange {
    quint64 First = 0;
    quint64 Last = 0;
    bool HasTotal = false;
    quint64 Total = 0;
};
// False unless FIRST <= LAST, both numbers, LAST + 1 representable, and TOTAL (when a number)
// equals LAST + 1.
bool ParseContentRange(const QByteArray& value, TvuContentRange& range);

// The realm of a WWW-Authenticate value: what follows the first `="`, less the last character
// (the closing quote); the whole value when it has none.
QByteArray RealmOf(const QByteArray& authenticate);

} // namespace vu
