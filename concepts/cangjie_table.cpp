#include "concepts/cangjie_table.h"

namespace velmora {

std::string_view cangjieRow(int i) {
    return {CangjieTable + static_cast<std::ptrdiff_t>(i) * CangjieRowBytes, CangjieRowBytes};
}

std::optional<QByteArray> cangjieLookup(const QByteArray& text) {
    // A plain scan in table order: no index, no early stop by the sort order. Each row's
    // character is two bytes, so it equals the whole text only when the text is those two.
    const bool twoBytes = text.size() == 2;
    const char first = twoBytes ? text[0] : '\0';
    const char second = twoBytes ? text[1] : '\0';
    for (int i = 0; i < CangjieRowCount; ++i) {
        const char* row = CangjieTable + static_cast<std::ptrdiff_t>(i) * CangjieRowBytes;
        if (twoBytes && row[CangjieCodeBytes] == first && row[CangjieCodeBytes + 1] == second)
            return QByteArray(row, CangjieCodeBytes);
    }
    return std::nullopt;
}

} // namespace velmora
