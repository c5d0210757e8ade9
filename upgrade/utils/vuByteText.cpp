#include "upgrade/utils/vuByteText.h"

#include <limits>

namespace vu {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

QByteArray Trim(const QByteArray& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    return text.mid(b, e - b);
}

QByteArray TrimLeft(const QByteArray& text) {
    qsizetype b = 0;
    while (b < text.size() && IsBlank(text[b]))
        ++b;
    return text.mid(b);
}

bool StrToInt(const QByteArray& text, int& value) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size())
        return false;
    qint64 result = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        result = result * 10 + (text[i] - '0');
        // One past int's maximum is still needed for the smallest negative value.
        if (result > static_cast<qint64>(std::numeric_limits<int>::max()) + 1)
            return false;
    }
    if (negative)
        result = -result;
    if (result < std::numeric_limits<int>::min() || result > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(result);
    return true;
}

int StrToIntDef(const QByteArray& text, int fallback) {
    int value = 0;
    return StrToInt(text, value) ? value : fallback;
}

} // namespace vu
