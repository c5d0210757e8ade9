// Percentages of transfers and downloads.
#pragma once

#include <QtGlobal>

namespace vu {

// done * 100 / total rounded to the nearest whole number, ties to even; 0 when total is 0 or on
// any arithmetic fault (not finite, outside 0..255).
quint8 PercentOf(double total, double done);

} // namespace vu
