#include "concepts/cangjie_table.h"

#include "concepts/cangjie_index.h"

#include <algorithm>
#include <string_view>

namespace velmora {
namespace {

std::string_view codeField(int i) {
    return cangjieRow(i).substr(0, kCangjieCodeBytes);
}

std::string_view characterField(int i) {
    return cangjieRow(i).substr(kCangjieCodeBytes);
}

bool repeatsRowBefore(int i) {
    return i > 0 && cangjieRow(i) == cangjieRow(i - 1);
}

bool isCodeLetters(const QByteArray& letters) {
    return letters.size() >= 1 && letters.size() < kCangjieCodeBytes &&
           std::all_of(letters.begin(), letters.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

} // namespace

std::string_view cangjieRow(int i) {
    return {CangjieTable + static_cast<std::ptrdiff_t>(i) * kCangjieRowBytes, kCangjieRowBytes};
}

std::optional<QByteArray> cangjieLookup(const QByteArray& text) {
    const int row = firstCangjieRow(text);
    if (row < 0)
        return std::nullopt;
    return QByteArray(cangjieRow(row).data(), kCangjieCodeBytes);
}

QByteArrayList cangjieCodesOf(const QByteArray& character) {
    QByteArrayList codes;
    const int first = firstCangjieRow(character);
    if (first < 0)
        return codes;
    const std::string_view wanted = characterField(first);
    for (int i = first; i < CangjieRowCount; ++i) {
        if (characterField(i) != wanted || repeatsRowBefore(i))
            continue;
        codes.append(QByteArray(codeField(i).data(), kCangjieCodeBytes).trimmed());
    }
    return codes;
}

QByteArrayList cangjieCharactersUnder(const QByteArray& letters) {
    QByteArrayList characters;
    if (!isCodeLetters(letters))
        return characters;
    const QByteArray padded = letters.leftJustified(kCangjieCodeBytes, ' ');
    const std::string_view wanted(padded.constData(), kCangjieCodeBytes);
    // Rows are sorted by their code bytes (compared as unsigned bytes, as string_view does), so
    // the rows of one code are one run, found by bisection. (Written out rather than as a range
    // algorithm over views::iota, which clang 14 cannot compile with this libstdc++; the fuzz
    // build uses clang.)
    const auto firstRowWhere = [](auto isPast) {
        int low = 0, high = CangjieRowCount;
        while (low < high) {
            const int middle = low + (high - low) / 2;
            if (isPast(codeField(middle)))
                high = middle;
            else
                low = middle + 1;
        }
        return low;
    };
    const int from = firstRowWhere([&](std::string_view code) { return code >= wanted; });
    const int to = firstRowWhere([&](std::string_view code) { return code > wanted; });
    for (int row = from; row < to; ++row)
        if (!repeatsRowBefore(row))
            characters.append(QByteArray(characterField(row).data(), 2));
    return characters;
}

} // namespace velmora
