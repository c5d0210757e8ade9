#include "concepts/cangjie_index.h"

#include "concepts/cangjie_table.h"

#include <array>
#include <cstdint>
#include <memory>

namespace velmora {
namespace {

// One slot per value of two bytes, holding row + 1 of the character's first row (0: no row).
using FirstRows = std::array<std::int32_t, 0x10000>;

int slotOf(unsigned char first, unsigned char second) {
    return (first << 8) | second;
}

std::unique_ptr<const FirstRows> buildFirstRows() {
    auto rows = std::make_unique<FirstRows>();
    rows->fill(0);
    for (int i = 0; i < CangjieRowCount; ++i) {
        const std::string_view row = cangjieRow(i);
        std::int32_t& slot =
            (*rows)[slotOf(static_cast<unsigned char>(row[kCangjieCodeBytes]),
                           static_cast<unsigned char>(row[kCangjieCodeBytes + 1]))];
        // Rows are visited in table order, so the first row of a character keeps its slot.
        if (slot == 0)
            slot = i + 1;
    }
    return rows;
}

const FirstRows& firstRows() {
    static const std::unique_ptr<const FirstRows> built = buildFirstRows();
    return *built;
}

} // namespace

int firstCangjieRow(QByteArrayView text) {
    if (text.size() != 2)
        return -1;
    return firstRows()[slotOf(static_cast<unsigned char>(text[0]),
                              static_cast<unsigned char>(text[1]))] -
           1;
}

} // namespace velmora
