#include "upgrade/utils/vuStoredSettings.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <utility>

namespace vu {

namespace {

// The escapes of a string with a letter of their own: the letter after the backslash and the
// byte it stands for. Any other byte outside printable ASCII is written "\xHH".
struct TvuNamedEscape {
    char Letter;
    char Byte;
};
constexpr TvuNamedEscape kNamedEscapes[] = {
    {'\\', '\\'}, {'"', '"'}, {'r', '\r'}, {'n', '\n'}, {'t', '\t'}};

template <typename Match> const TvuNamedEscape* FindNamedEscape(Match match) {
    const auto* found = std::find_if(std::begin(kNamedEscapes), std::end(kNamedEscapes), match);
    return found != std::end(kNamedEscapes) ? found : nullptr;
}

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsIdentStart(char c) {
    return IsNameStart(c) || c == '_';
}

bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}

bool IsValidName(const QByteArray& name) {
    if (name.isEmpty() || !IsNameStart(name[0]) || name.endsWith('.'))
        return false;
    for (int i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (!IsIdentChar(c) && c != '.')
            return false;
        if (c == '.' && name[i - 1] == '.')
            return false;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool ParseInteger(const QByteArray& text, qint64& out) {
    int i = 0;
    const bool negative = !text.isEmpty() && text[0] == '-';
    if (negative)
        i = 1;
    if (i >= text.size())
        return false;
    // Accumulate negatively so that the most negative value parses too.
    qint64 value = 0;
    const qint64 lowest = std::numeric_limits<qint64>::min();
    for (; i < text.size(); ++i) {
        const int d = text[i] - '0';
        if (d < 0 || d > 9)
            return false;
        if (value < (lowest + d) / 10)
            return false;
        value = value * 10 - d;
    }
    if (!negative) {
        if (value == lowest)
            return false;
        value = -value;
    }
    out = value;
    return true;
}

bool ParseString(const QByteArray& text, QByteArray& out, QString& why) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') {
        why = QStringLiteral("unterminated string");
        return false;
    }
    QByteArray result;
    const int end = text.size() - 1;
    for (int i = 1; i < end; ++i) {
        const char c = text[i];
        if (c == '"') {
            why = QStringLiteral("unescaped quote in string");
            return false;
        }
        if (c != '\\') {
            result.append(c);
            continue;
        }
        if (++i >= end) {
            why = QStringLiteral("escape at end of string");
            return false;
        }
        const char letter = text[i];
        if (const auto* named =
                FindNamedEscape([letter](const TvuNamedEscape& e) { return e.Letter == letter; })) {
            result.append(named->Byte);
            continue;
        }
        if (letter != 'x') {
            why = QStringLiteral("unknown escape");
            return false;
        }
        const int hi = i + 1 < end ? HexDigit(text[i + 1]) : -1;
        const int lo = i + 2 < end ? HexDigit(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
            why = QStringLiteral("bad \\x escape");
            return false;
        }
        result.append(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    out = result;
    return true;
}

bool ParseBinary(const QByteArray& text, QByteArray& out) {
    if (text.size() < 2 || text.front() != '{' || text.back() != '}')
        return false;
    const QByteArray digits = text.mid(1, text.size() - 2);
    if (digits.size() % 2 != 0)
        return false;
    QByteArray result;
    result.reserve(digits.size() / 2);
    for (int i = 0; i < digits.size(); i += 2) {
        const int hi = HexDigit(digits[i]);
        const int lo = HexDigit(digits[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        result.append(static_cast<char>(hi * 16 + lo));
    }
    out = result;
    return true;
}

bool ParseValue(const QByteArray& text, TvuStoredValue& value, QString& why) {
    if (text.isEmpty()) {
        why = QStringLiteral("missing value");
        return false;
    }
    const char first = text[0];
    if (first == '"') {
        QByteArray bytes;
        if (!ParseString(text, bytes, why))
            return false;
        value = TvuStoredValue(TvuStoredValue::svString, bytes);
        return true;
    }
    if (first == '{') {
        QByteArray bytes;
        if (!ParseBinary(text, bytes)) {
            why = QStringLiteral("bad binary value");
            return false;
        }
        value = TvuStoredValue(TvuStoredValue::svBinary, bytes);
        return true;
    }
    if (first == '-' || (first >= '0' && first <= '9')) {
        qint64 number = 0;
        if (!ParseInteger(text, number)) {
            why = QStringLiteral("bad integer");
            return false;
        }
        value = TvuStoredValue(TvuStoredValue::svInteger, QByteArray(), number);
        return true;
    }
    if (IsIdentStart(first)) {
        for (char c : text) {
            if (!IsIdentChar(c)) {
                why = QStringLiteral("bad identifier");
                return false;
            }
        }
        value = TvuStoredValue(TvuStoredValue::svIdent, text);
        return true;
    }
    why = QStringLiteral("unrecognised value");
    return false;
}

} // namespace

template <typename T> bool TvuStoredValue::NumberIn(T& out) const {
    if (kind_ != svInteger || !std::in_range<T>(number_))
        return false;
    out = static_cast<T>(number_);
    return true;
}

bool TvuStoredValue::DataOf(Kind kind, QByteArray& out) const {
    if (kind_ != kind)
        return false;
    out = data_;
    return true;
}

bool TvuStoredValue::ToInteger(qint64& out) const {
    return NumberIn(out);
}

bool TvuStoredValue::ToInt32(qint32& out) const {
    return NumberIn(out);
}

bool TvuStoredValue::ToUInt32(quint32& out) const {
    return NumberIn(out);
}

bool TvuStoredValue::ToBool(bool& out) const {
    if (kind_ != svIdent || (data_ != "True" && data_ != "False"))
        return false;
    out = data_ == "True";
    return true;
}

bool TvuStoredValue::ToIdent(QByteArray& out) const {
    return DataOf(svIdent, out);
}

bool TvuStoredValue::ToString(QByteArray& out) const {
    return DataOf(svString, out);
}

bool TvuStoredValue::ToBinary(QByteArray& out) const {
    return DataOf(svBinary, out);
}

QByteArray EscapeStoredString(const QByteArray& bytes) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() + 2);
    out.append('"');
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (const auto* named =
                FindNamedEscape([ch](const TvuNamedEscape& e) { return e.Byte == ch; })) {
            out.append('\\');
            out.append(named->Letter);
        } else if (c >= 0x20 && c <= 0x7E) {
            out.append(ch);
        } else {
            out.append("\\x");
            out.append(hex[c >> 4]);
            out.append(hex[c & 15]);
        }
    }
    out.append('"');
    return out;
}

void TvuSettingsWriter::Add(const QByteArray& name, QByteArray rendered) {
    Q_ASSERT(IsValidName(name));
    for (auto& line : lines_) {
        if (line.first == name) {
            line.second = std::move(rendered);
            return;
        }
    }
    lines_.append({name, std::move(rendered)});
}

void TvuSettingsWriter::WriteInteger(const QByteArray& name, qint64 value) {
    Add(name, QByteArray::number(value));
}

void TvuSettingsWriter::WriteIdent(const QByteArray& name, const QByteArray& identifier) {
    Add(name, identifier);
}

void TvuSettingsWriter::WriteBool(const QByteArray& name, bool value) {
    Add(name, value ? "True" : "False");
}

void TvuSettingsWriter::WriteString(const QByteArray& name, const QByteArray& value) {
    Add(name, EscapeStoredString(value));
}

void TvuSettingsWriter::WriteBinary(const QByteArray& name, const QByteArray& value) {
    Add(name, '{' + value.toHex().toUpper() + '}');
}

void TvuSettingsWriter::WriteValue(const QByteArray& name, const TvuStoredValue& value) {
    qint64 number = 0;
    QByteArray data;
    if (value.ToInteger(number))
        WriteInteger(name, number);
    else if (value.ToIdent(data))
        WriteIdent(name, data);
    else if (value.ToString(data))
        WriteString(name, data);
    else if (value.ToBinary(data))
        WriteBinary(name, data);
}

QList<QByteArray> TvuSettingsWriter::Names() const {
    QList<QByteArray> names;
    for (const auto& line : lines_)
        names.append(line.first);
    return names;
}

bool TvuSettingsWriter::Contains(const QByteArray& name) const {
    for (const auto& line : lines_) {
        if (line.first == name)
            return true;
    }
    return false;
}

QByteArray TvuSettingsWriter::Text() const {
    QByteArray text;
    for (const auto& line : lines_)
        text += line.first + '=' + line.second + '\n';
    return text;
}

bool ParseStoredSettings(const QByteArray& text,
                         QList<std::pair<QByteArray, TvuStoredValue>>& properties, QString* error) {
    properties.clear();
    QList<std::pair<QByteArray, TvuStoredValue>> result;
    const QList<QByteArray> lines = text.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        QByteArray line = lines[n];
        if (line.endsWith('\r'))
            line.chop(1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        auto fail = [&](const QString& why) {
            if (error)
                *error = QStringLiteral("line %1: %2").arg(n + 1).arg(why);
            return false;
        };
        const int eq = line.indexOf('=');
        if (eq < 0)
            return fail(QStringLiteral("missing '='"));
        const QByteArray name = line.left(eq).trimmed();
        if (!IsValidName(name))
            return fail(QStringLiteral("bad property name"));
        for (const auto& seen : result) {
            if (seen.first == name)
                return fail(QStringLiteral("property given twice"));
        }
        TvuStoredValue value;
        QString why;
        if (!ParseValue(line.mid(eq + 1).trimmed(), value, why))
            return fail(why);
        result.append({name, value});
    }
    properties = std::move(result);
    return true;
}

} // namespace vu
