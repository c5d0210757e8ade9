#pragma once
// The format routine of the upgrade messages: "%s", "%d", "%u", "%x", "%f" with an optional
// "-" flag, a width and a precision ("%.1f", "%.2d"), and "%%".

#include <QList>
#include <QString>
#include <QtGlobal>

#include <initializer_list>

namespace vu {

// One argument of a format: a whole number, a floating-point number or a text.
class TvuFormatArg {
public:
    enum Kind { Integer, Float, Text };

    TvuFormatArg(int value) : kind_(Integer), integer_(value) {}
    TvuFormatArg(unsigned value) : kind_(Integer), integer_(value) {}
    TvuFormatArg(long value) : kind_(Integer), integer_(value) {}
    TvuFormatArg(long long value) : kind_(Integer), integer_(value) {}
    TvuFormatArg(unsigned long value) : kind_(Integer), integer_(qint64(value)) {}
    TvuFormatArg(unsigned long long value) : kind_(Integer), integer_(qint64(value)) {}
    TvuFormatArg(double value) : kind_(Float), float_(value) {}
    TvuFormatArg(float value) : kind_(Float), float_(value) {}
    TvuFormatArg(const QString& value) : kind_(Text), text_(value) {}
    TvuFormatArg(const char* value) : kind_(Text), text_(QString::fromUtf8(value)) {}

    Kind ArgKind() const { return kind_; }
    qint64 AsInteger() const;
    double AsFloat() const;
    QString AsText() const;

private:
    Kind kind_;
    qint64 integer_ = 0;
    double float_ = 0.0;
    QString text_;
};

using TvuFormatArgs = QList<TvuFormatArg>;

// Fills the placeholders of `format` from `args`, one argument per placeholder in order.
// Arguments are never read as formats. A placeholder without an argument, or one that is not
// understood, stays in the result as written. Numbers use "." as the decimal separator.
QString FormatText(const QString& format, const TvuFormatArgs& args);

} // namespace vu
