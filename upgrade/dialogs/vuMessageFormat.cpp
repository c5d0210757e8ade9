#include "upgrade/dialogs/vuMessageFormat.h"

#include <cmath>
#include <limits>

qint64 TvuFormatArg::AsInteger() const {
    switch (FKind) {
    case Integer:
        return FInteger;
    case Float:
        if (!std::isfinite(FFloat))
            return 0;
        if (FFloat >= 9.2e18 || FFloat <= -9.2e18)
            return FFloat > 0 ? std::numeric_limits<qint64>::max()
                              : std::numeric_limits<qint64>::min();
        return qint64(FFloat);
    case Text:
        return FText.toLongLong();
    }
    return 0;
}

double TvuFormatArg::AsFloat() const {
    switch (FKind) {
    case Integer:
        return double(FInteger);
    case Float:
        return FFloat;
    case Text:
        return FText.toDouble();
    }
    return 0.0;
}

QString TvuFormatArg::AsText() const {
    switch (FKind) {
    case Integer:
        return QString::number(FInteger);
    case Float:
        return QString::number(FFloat, 'g', 15);
    case Text:
        return FText;
    }
    return {};
}

namespace {

// Widths and precisions beyond this are not plausible in a message and would only let a
// broken format allocate without bound.
constexpr int kMaxFieldSize = 255;

QString Pad(const QString& text, int width, bool leftAlign) {
    if (text.size() >= width)
        return text;
    const QString blanks(width - text.size(), u' ');
    return leftAlign ? text + blanks : blanks + text;
}

QString WholeNumber(qint64 value, int precision, int base) {
    const bool negative = value < 0;
    // Magnitude as unsigned, so that the smallest 64-bit value has one too.
    const quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);
    QString digits = QString::number(magnitude, base);
    if (base == 16)
        digits = digits.toUpper();
    if (precision > digits.size())
        digits.prepend(QString(precision - digits.size(), u'0'));
    return negative ? u'-' + digits : digits;
}

} // namespace

QString FormatText(const QString& format, const TvuFormatArgs& args) {
    QString result;
    result.reserve(format.size() + 16);
    qsizetype next = 0;
    const qsizetype n = format.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = format[i];
        if (c != u'%') {
            result += c;
            ++i;
            continue;
        }
        const qsizetype start = i++;
        if (i < n && format[i] == u'%') {
            result += u'%';
            ++i;
            continue;
        }
        bool leftAlign = false;
        if (i < n && format[i] == u'-') {
            leftAlign = true;
            ++i;
        }
        int width = 0;
        while (i < n && format[i].isDigit() && width <= kMaxFieldSize)
            width = width * 10 + format[i++].digitValue();
        int precision = -1;
        if (i < n && format[i] == u'.') {
            ++i;
            precision = 0;
            while (i < n && format[i].isDigit() && precision <= kMaxFieldSize)
                precision = precision * 10 + format[i++].digitValue();
        }
        const QChar type = i < n ? format[i].toLower() : QChar();
        const bool known =
            type == u'd' || type == u'u' || type == u'x' || type == u'f' || type == u's';
        if (!known || width > kMaxFieldSize || precision > kMaxFieldSize || next >= args.size()) {
            // Not a placeholder we fill: keep it as written.
            const qsizetype end = known ? i + 1 : i;
            result += format.mid(start, end - start);
            i = end;
            continue;
        }
        ++i;
        const TvuFormatArg& arg = args[next++];
        QString field;
        if (type == u'd' || type == u'u')
            field = WholeNumber(arg.AsInteger(), precision, 10);
        else if (type == u'x')
            field = WholeNumber(arg.AsInteger(), precision, 16);
        else if (type == u'f')
            field = QString::number(arg.AsFloat(), 'f', precision < 0 ? 2 : precision);
        else
            field = precision < 0 ? arg.AsText() : arg.AsText().left(precision);
        result += Pad(field, width, leftAlign);
    }
    return result;
}
