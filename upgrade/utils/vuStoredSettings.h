// The stored-settings text format of the upgrade components: what a component keeps of its
// properties between runs, written by its WriteProperties and read back through ReadProperty
// (see vuComponent.h).
//
// Format (ASCII text, one property per line, lines end in "\n"; "\r\n" is read as well):
//
//     # a comment
//     Name=value
//
// - Blank lines and lines whose first non-blank character is '#' are ignored.
// - Name: letters, digits, '_' and '.', starting with a letter; a dot joins a nested object's
//   property to the object's name, as in "Proxy.AccessType". Names are case-sensitive; a name may
//   appear once. Blanks around the name and the value are ignored.
// - value, one of four kinds, told apart by its first character:
//     Integer     optional '-', decimal digits (fits a signed 64-bit number)    ProxyPort=3128
//     Identifier  a letter or '_', then letters, digits, '_'; enumeration
//                 values and the Booleans True and False                       AccessType=atDirect
//     String      double-quoted bytes; '\' escapes \\ \" \r \n \t and \xHH;
//                 every byte outside 0x20..0x7E is written as \xHH, so
//                 Big5 text survives any editor ProxyServer="proxy"
//     Binary      hexadecimal digits in braces, two per byte                    LInfo={03A1B2C3}
//
// The writer emits the properties in the order a component writes them. A component writes a
// property only when its rules say it is stored (for most, when it differs from its default).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace vu {

// One parsed value.
class TvuStoredValue {
public:
    enum Kind { svInteger, svIdent, svString, svBinary };

    TvuStoredValue() = default;
    TvuStoredValue(Kind kind, QByteArray data, qint64 number = 0)
        : kind_(kind), data_(std::move(data)), number_(number) {}

    Kind kind() const { return kind_; }
    // Each returns false and leaves `out` alone when the value is of another kind or range.
    bool ToInteger(qint64& out) const;
    bool ToInt32(qint32& out) const;
    bool ToUInt32(quint32& out) const;
    bool ToBool(bool& out) const; // identifiers True / False
    bool ToIdent(QByteArray& out) const;
    bool ToString(QByteArray& out) const;
    bool ToBinary(QByteArray& out) const;

private:
    // The number, when the value is an integer within T's range.
    template <typename T> bool NumberIn(T& out) const;
    // The bytes, when the value is of `kind`.
    bool DataOf(Kind kind, QByteArray& out) const;

    Kind kind_ = svInteger;
    QByteArray data_; // identifier text, unescaped string bytes or binary bytes
    qint64 number_ = 0;
};

// Collects properties and renders them as text.
class TvuSettingsWriter {
public:
    void WriteInteger(const QByteArray& name, qint64 value);
    void WriteIdent(const QByteArray& name, const QByteArray& identifier);
    void WriteBool(const QByteArray& name, bool value);
    void WriteString(const QByteArray& name, const QByteArray& value);
    void WriteBinary(const QByteArray& name, const QByteArray& value);
    // A parsed value as it was read, whatever its kind.
    void WriteValue(const QByteArray& name, const TvuStoredValue& value);

    // Names written so far, in order.
    QList<QByteArray> Names() const;
    bool Contains(const QByteArray& name) const;
    // The settings as text, one "Name=value\n" line per property.
    QByteArray Text() const;

private:
    void Add(const QByteArray& name, QByteArray rendered);
    QList<std::pair<QByteArray, QByteArray>> lines_;
};

// Parses settings text. On a syntax error returns false, fills `error` with the line number and
// the reason, and leaves `properties` empty.
bool ParseStoredSettings(const QByteArray& text,
                         QList<std::pair<QByteArray, TvuStoredValue>>& properties,
                         QString* error = nullptr);

// String escaping of the format, exposed for tests and tools.
QByteArray EscapeStoredString(const QByteArray& bytes);

} // namespace vu
