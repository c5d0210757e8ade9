#include "upgrade/dialogs/vuMessageFormat.h"

#include <cmath>
#include <limits>

namespace vu {

qint64 TvuFormatArg::AsInteger() const {
    switch (kind_) {
    case Integer:
        return integer_;
    case Float:
        if (!std::isfinite(float_))
            return 0;
        if (float_ >= 9.2e18 || float_ <= -9.2e18)
            return float_ > 0 ? std::numeric_limits<qint64>::max()
                              : std::numeric_limits<qint64>::min();
        return qint64(float_);
    case Text:
        return text_.toLongLong();
    }
    return 0;
}

double TvuFormatArg::AsFloat() const {
    switch (kind_) {
    case Integer:
        return double(integer_);
    case Float:
        return float_;
    case Text:
        return text_.toDouble();
    }
    return 0.0;
}

QString TvuFormatArg::AsText() const {
    switch (kind_) {
    case Integer:
        return QString::number(integer_);
    case Float:
        return QString::number(float_, 'g', 15);
    case Text:
        return text_;
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

} // namespace vu
