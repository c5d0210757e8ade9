// Date-times as a count of days since 30 December 1899 (the fraction is the time of day), with the
// calendar conversions shared by the upgrade routines and their tests. Nothing here throws.
#pragma once

#include <QtGlobal>

namespace vu {

using TDateTime = double;

// One hour, one minute and one second as TDateTime deltas.
inline constexpr TDateTime vuOneHour = 1.0 / 24.0;
inline constexpr TDateTime vuOneMinute = 1.0 / 1440.0;
inline constexpr TDateTime vuOneSecond = 1.0 / 86400.0;

// Days from 30 December 1899 to 1 January 1970.
inline constexpr int vuUnixEpochDays = 25569;

// Calendar date (year 1..9999) to its day number; false when the date does not exist.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
// Time of day to its fraction; false unless hour < 24, minute < 60, second < 60, msec < 1000.
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result);
// Both at once; false when either part is invalid.
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec,
                       TDateTime& result);

// Calendar parts of a date-time. Negative values follow the usual convention: the integral part
// is the day, the absolute fraction the time of that day.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);

// Conversions to and from seconds since 1970-01-01 00:00 UTC (the date-time read as UTC).
TDateTime DateTimeFromUnix(double seconds);
double UnixFromDateTime(TDateTime value);

// The current time, in UTC and in local time.
TDateTime NowUTC();
TDateTime NowLocal();

} // namespace vu
