#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <optional>
#include <string_view>

// The Cangjie input-code table: constant rows of exactly 8 bytes, "CODE" left-aligned in six
// bytes (1 to 5 letters A..Z, filled with ASCII blanks) followed by one Big5 double-byte
// character. Rows are sorted by the six code bytes as unsigned bytes; rows with equal codes keep
// the source table's order. The rows are generated data (see tools/cangjie).
namespace velmora {

constexpr int kCangjieRowBytes = 8;
constexpr int kCangjieCodeBytes = 6;

// All rows back to back (CangjieRowCount * 8 bytes, no terminator counted).
extern const char CangjieTable[];
extern const int CangjieRowCount;

// Row i (0-based, in table order) as its 8 bytes.
std::string_view cangjieRow(int i);

// The lookup the report uses: the six-byte code field (letters followed by their filling
// blanks, e.g. "GRMBC ") of the first row in table order whose character (bytes 7 and 8) equals
// the whole of `text`, byte for byte, or no value. Anything but exactly one double-byte
// character (empty text, ASCII) therefore finds nothing. Answered through an index built once.
std::optional<QByteArray> cangjieLookup(const QByteArray& text);

// Every code of `character` (one double-byte character), letters only, in table order. A row
// that repeats the row before it is listed once. Empty when the character has no row.
QByteArrayList cangjieCodesOf(const QByteArray& character);

// Every character under `letters` (1 to 5 letters A..Z, upper case), in table order, each as
// its two bytes. A row that repeats the row before it is listed once. Empty for any other text
// or a code without rows.
QByteArrayList cangjieCharactersUnder(const QByteArray& letters);

} // namespace velmora
