#pragma once
// The format routine of the upgrade messages: "%s", "%d", "%u", "%x", "%f" with an optional
// "-" flag, a width and a precision ("%.1f", "%.2d"), and "%%".

#include <QList>
#include <QString>
#include <QtGlobal>

#include <initializer_list>

// One argument of a format: a whole number, a floating-point number or a text.
class TvuFormatArg {
public:
    enum Kind { Integer, Float, Text };

    TvuFormatArg(int value) : FKind(Integer), FInteger(value) {}
    TvuFormatArg(unsigned value) : FKind(Integer), FInteger(value) {}
    TvuFormatArg(long value) : FKind(Integer), FInteger(value) {}
    TvuFormatArg(long long value) : FKind(Integer), FInteger(value) {}
    TvuFormatArg(unsigned long value) : FKind(Integer), FInteger(qint64(value)) {}
    TvuFormatArg(unsigned long long value) : FKind(Integer), FInteger(qint64(value)) {}
    TvuFormatArg(double value) : FKind(Float), FFloat(value) {}
    TvuFormatArg(float value) : FKind(Float), FFloat(value) {}
    TvuFormatArg(const QString& value) : FKind(Text), FText(value) {}
    TvuFormatArg(const char* value) : FKind(Text), FText(QString::fromUtf8(value)) {}

    Kind ArgKind() const { return FKind; }
    qint64 AsInteger() const;
    double AsFloat() const;
    QString AsText() const;

private:
    Kind FKind;
    qint64 FInteger = 0;
    double FFloat = 0.0;
    QString FText;
};

using TvuFormatArgs = QList<TvuFormatArg>;

// Fills the placeholders of `format` from `args`, one argument per placeholder in order.
// Arguments are never read as formats. A placeholder without an argument, or one that is not
// understood, stays in the result as written. Numbers use "." as the decimal separator.
QString FormatText(const QString& format, const TvuFormatArgs& args);
