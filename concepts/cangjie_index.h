#pragma once

#include <QByteArrayView>

// The Cangjie table indexed by character: for every two-byte text, the number of the first row
// in table order whose character it is. The index is built once, on first use, from the rows
// themselves, so it answers exactly as a scan of the rows in table order would, in constant time.
namespace velmora {

// The first row whose character (bytes 7 and 8) equals the whole of `text`, or -1. Text other
// than exactly two bytes never matches. Safe to call from any thread.
int firstCangjieRow(QByteArrayView text);

} // namespace velmora
