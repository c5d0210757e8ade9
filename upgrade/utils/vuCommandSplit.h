// Splitting a registered open command into the program and its parameters.
#pragma once

#include <QByteArray>

namespace vu {

// Splits a registered open command into the program (left in `command`) and its parameters.
// A quoted program path loses its quotes; unquoted commands are cut at the first of " -", " /",
// " \", ",", " %" that leaves the program's file extension intact; a library launched through
// RUNDLL keeps the launcher as the program. Both results are trimmed. An empty command leaves
// `parameters` unchanged.
void SplitCommandLine(QByteArray& command, QByteArray& parameters);

// Flag bits of SplitAt.
inline constexpr int vuSplitSepToLeft = 1;  // append the separator to the left part
inline constexpr int vuSplitSepToRight = 2; // put the separator in front of the right part

// Cuts `text` at the first `separator`. When it is missing: whenMissing true gives an empty left
// and the whole text as right, false the whole text as left and an empty right.
void SplitAt(const QByteArray& separator, const QByteArray& text, QByteArray& left, int flags,
             bool whenMissing, QByteArray& right);

} // namespace vu
