// HTTP date headers and the local time zone.
#pragma once

#include "upgrade/utils/vuDateTime.h"

#include <QByteArray>

namespace vu {

// UTC minus local time now, in days (positive west of Greenwich), daylight saving included.
TDateTime LocalTimeBias();
// value - LocalTimeBias().
TDateTime UTCToLocal(TDateTime value);

// The token before the first `separator` (the whole text when it is missing); with remove, the
// text becomes what follows the separator (empty when it is missing).
void CutToken(QByteArray& text, const QByteArray& separator, bool remove, QByteArray& token);
// 1..7 for "SUN".."SAT", 1..12 for "JAN".."DEC" (case-insensitive, exact), else 0.
int DayNameIndex(const QByteArray& name);
int MonthNameIndex(const QByteArray& name);
// "+hhmm" or "-hhmm" (first five characters of the trimmed text) as a signed day fraction; any
// other text gives 0.
TDateTime ParseGMTOffset(const QByteArray& text);
// An HTTP date header in any of its three forms (RFC 1123, RFC 850 with a two-digit year, asctime)
// with "GMT" or a numeric offset, returned in local time. Years below 80 get 2000 added, 80..99
// get 1900. An empty text gives exactly 0; text that fails to parse gives UTCToLocal(0).
TDateTime ParseHTTPDate(const QByteArray& text);

} // namespace vu
