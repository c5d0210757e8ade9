#include "upgrade/http/vuResponseHeaders.h"

#include <limits>

namespace vu {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "HTTP/x.y NNN reason": the three digits of the status, or 0.
qint32 StatusOf(const QByteArray& line) {
    const QList<QByteArray> words = line.split(' ');
    if (words.size() < 2)
        return 0;
    const QByteArray& code = words[1];
    if (code.size() != 3 || !IsDigit(code[0]) || !IsDigit(code[1]) || !IsDigit(code[2]) ||
        code[0] == '0')
        return 0;
    return code.toInt();
}

// An unsigned decimal number of digits only; false when empty, not digits, or too large.
bool ParseNumber(const QByteArray& text, quint64& value) {
    if (text.isEmpty())
        return false;
    value = 0;
    for (const char c : text) {
        if (!IsDigit(c))
            return false;
        const auto digit = static_cast<quint64>(c - '0');
        if (value > (std::numeric_limits<quint64>::max() - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

} // namespace

TvuResponseHeaders::Line TvuResponseHeaders::Add(QByteArray line) {
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    // A bare CR (or a NUL) inside a line is no line end: it reads as a blank, so that no value
    // taken from here can cut a line it is written into.
    line.replace('\r', ' ').replace('\0', ' ');
    if (line.startsWith("HTTP/")) {
        Clear();
        lines_.append(line);
        status_ = StatusOf(line);
        return Line::Status;
    }
    if (complete_ || lines_.isEmpty())
        return Line::Ignored;
    if (line.isEmpty()) {
        complete_ = true;
        return Line::End;
    }
    if ((line.startsWith(' ') || line.startsWith('\t')) && lines_.size() > 1)
        lines_.last() += ' ' + line.trimmed(); // a folded continuation line
    else
        lines_.append(line);
    return Line::Header;
}

void TvuResponseHeaders::Clear() {
    lines_.clear();
    status_ = -1;
    complete_ = false;
}

bool TvuResponseHeaders::Query(const QByteArray& name, QByteArray& value) const {
    for (qsizetype i = 1; i < lines_.size(); ++i) {
        const QByteArray& line = lines_[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        if (line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            value = line.mid(colon + 1).trimmed();
            return true;
        }
    }
    return false;
}

QByteArray TvuResponseHeaders::Raw() const {
    QByteArray text;
    for (const QByteArray& line : lines_)
        text += line + "\r\n";
    if (!text.isEmpty())
        text += "\r\n";
    return text;
}

bool ParseContentLength(const QByteArray& value, quint32& length) {
    quint64 number = 0;
    if (!ParseNumber(value.trimmed(), number) || number > 0xFFFFFFFFull)
        return false;
    length = static_cast<quint32>(number);
    return true;
}

bool ParseContentRange(const QByteArray& value, TvuContentRange& range) {
    const QByteArray text = value.trimmed();
    if (!text.startsWith("bytes "))
        return false;
    const qsizetype dash = text.indexOf('-', 6);
    const qsizetype slash = text.indexOf('/', 6);
    if (dash < 0 || slash < dash)
        return false;
    TvuContentRange parsed;
    if (!ParseNumber(text.mid(6, dash - 6), parsed.First) ||
        !ParseNumber(text.mid(dash + 1, slash - dash - 1), parsed.Last) ||
        parsed.Last < parsed.First || parsed.Last == std::numeric_limits<quint64>::max())
        return false;
    const QByteArray total = text.mid(slash + 1);
    if (total != "*") {
        if (!ParseNumber(total, parsed.Total) || parsed.Total != parsed.Last + 1)
            return false;
        parsed.HasTotal = true;
    }
    range = parsed;
    return true;
}

QByteArray RealmOf(const QByteArray& authenticate) {
    const qsizetype quote = authenticate.indexOf("=\"");
    if (quote < 0)
        return authenticate;
    QByteArray realm = authenticate.mid(quote + 2);
    realm.chop(1);
    return realm;
}

} // namespace vu
