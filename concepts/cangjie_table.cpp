#include "concepts/cangjie_table.h"

#include <QByteArrayView>

namespace velmora {

std::string_view cangjieRow(int i) {
    return {CangjieTable + static_cast<std::ptrdiff_t>(i) * CangjieRowBytes, CangjieRowBytes};
}

std::optional<QByteArray> cangjieLookup(const QByteArray& text) {
    // A plain scan in table order: no index, no early stop by the sort order.
    const QByteArrayView wanted(text);
    for (int i = 0; i < CangjieRowCount; ++i) {
        const char* row = CangjieTable + static_cast<std::ptrdiff_t>(i) * CangjieRowBytes;
        if (QByteArrayView(row + CangjieCodeBytes, CangjieRowBytes - CangjieCodeBytes) == wanted)
            return QByteArray(row, CangjieCodeBytes);
    }
    return std::nullopt;
}

} // namespace velmora
