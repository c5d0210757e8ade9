#pragma once

#include <QByteArray>

#include <optional>
#include <string_view>

// The Cangjie input-code table: constant rows of exactly 8 bytes, "CODE" left-aligned in six
// bytes (1 to 5 letters A..Z, filled with ASCII blanks) followed by one Big5 double-byte
// character. Rows are sorted by the six code bytes as unsigned bytes; rows with equal codes keep
// the source table's order. The rows are generated data (see tools/cangjie).
namespace velmora {

constexpr int CangjieRowBytes = 8;
constexpr int CangjieCodeBytes = 6;

// All rows back to back (CangjieRowCount * 8 bytes, no terminator counted).
extern const char CangjieTable[];
extern const int CangjieRowCount;

// Row i (0-based, in table order) as its 8 bytes.
std::string_view cangjieRow(int i);

// The lookup the report uses: scans every row in table order and compares the row's character
// (bytes 7 and 8) with the whole of `text`, byte for byte. Returns the six-byte code field of
// the first equal row (letters followed by their filling blanks, e.g. "GRMBC "), or no value.
// Anything but exactly one double-byte character (empty text, ASCII) therefore finds nothing.
std::optional<QByteArray> cangjieLookup(const QByteArray& text);

} // namespace velmora
