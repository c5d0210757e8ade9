// Dotted version numbers.
#pragma once

#include <QByteArray>

#include <array>

namespace vu {

// Four parts of a dotted version; missing parts are "0".
std::array<QByteArray, 4> SplitVersion(const QByteArray& version);
// -1, 0 or 1. Parts compare as numbers; when a part of either is not a decimal number, the result
// is the sign of a byte-wise comparison of the two whole strings.
int CompareVersions(const QByteArray& first, const QByteArray& second);

} // namespace vu
