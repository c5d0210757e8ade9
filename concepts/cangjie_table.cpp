#include "concepts/cangjie_table.h"

#include "concepts/cangjie_index.h"

#include <algorithm>
#include <ranges>

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
    // the rows of one code are one run, found by bisection.
    const auto [from, to] =
        std::ranges::equal_range(std::views::iota(0, CangjieRowCount), wanted, {}, codeField);
    for (auto it = from; it != to; ++it)
        if (!repeatsRowBefore(*it))
            characters.append(QByteArray(characterField(*it).data(), 2));
    return characters;
}

} // namespace velmora
