#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Conversion between Unicode text and the program's own Big5 (code page 950) byte strings.
//
// All domain data (concept rows, navigator items, Cangjie rows, report lines) is kept as Big5
// bytes; these two functions are the only places where it meets Unicode (the screen, the
// clipboard, the command line, tests).
//
// Mapping: code page 950 as Windows defines it (F9F9 <-> U+2550 "═", user-defined 8140 <->
// U+EEB8, FA40 <-> U+E000), except for the ETEN extension block C6A1..C875 (circled numbers
// ① to ⑽, CJK radicals, kana, Cyrillic), which maps to the real characters (C6A6 <-> ⑥)
// instead of private-use code points, so those characters show as themselves and can be typed.
namespace velmora {

// Decodes Big5 bytes. Never fails: a byte sequence with no character (a lone lead byte at the
// end, for instance) becomes U+FFFD.
QString fromBig5(const QByteArray& big5);

// Encodes text as Big5. Returns no value when any character has no form in this code page; it
// never substitutes "?" or anything else. An empty text gives an empty byte string.
std::optional<QByteArray> toBig5(const QString& text);

// Convenience for literals: encodes UTF-8 text. Same failure rule as toBig5.
std::optional<QByteArray> toBig5(const char* utf8);

// True once the calling thread has converted a text: the converters are opened on first use,
// one set per thread, and kept until the thread ends.
bool big5ConvertersOpened();

// True for the two bytes of a character of the ETEN extension block C6A1..C875.
bool isEtenBlock(unsigned char lead, unsigned char trail);

} // namespace velmora
