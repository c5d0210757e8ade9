// Byte-string helpers shared by the parsers of the utility routines (command lines, versions,
// HTTP dates). Every byte up to ' ' counts as white space; integers are plain decimal.
#pragma once

#include <QByteArray>

namespace vu {

// `text` without leading and trailing white space.
QByteArray Trim(const QByteArray& text);
// `text` without leading white space.
QByteArray TrimLeft(const QByteArray& text);

// A decimal integer with optional leading blanks and one sign; false on anything else, on an
// empty number and on overflow of int.
bool StrToInt(const QByteArray& text, int& value);
// StrToInt, or `fallback` when the text is not an integer.
int StrToIntDef(const QByteArray& text, int fallback);

} // namespace vu
