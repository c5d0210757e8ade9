#include "upgrade/utils/vuDateTime.h"

#include <cmath>
#include <ctime>

namespace vu {

namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
qint64 DaysFromCivil(qint64 y, unsigned m, unsigned d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

void CivilFromDays(qint64 z, int& year, int& month, int& day) {
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 y = static_cast<qint64>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

} // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return false;
    result = static_cast<TDateTime>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
        vuUnixEpochDays);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result) {
    if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 ||
        msec < 0 || msec >= 1000)
        return false;
    result = (((hour * 60 + minute) * 60 + second) * 1000.0 + msec) / 86400000.0;
    return true;
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec,
                       TDateTime& result) {
    TDateTime date = 0, time = 0;
    if (!TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, minute, second, msec, time))
        return false;
    result = date >= 0 ? date + time : date - time;
    return true;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    if (!std::isfinite(value)) {
        year = month = day = 0;
        return;
    }
    // Round to the millisecond first so that 23:59:59.9999 does not fall on the wrong day.
    const double ms = std::round(std::fabs(value - std::trunc(value)) * 86400000.0);
    qint64 days = static_cast<qint64>(std::trunc(value));
    if (ms >= 86400000.0)
        days += value >= 0 ? 1 : -1;
    CivilFromDays(days - vuUnixEpochDays, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
    if (!std::isfinite(value)) {
        hour = minute = second = msec = 0;
        return;
    }
    qint64 ms = static_cast<qint64>(std::round(std::fabs(value - std::trunc(value)) * 86400000.0));
    if (ms >= 86400000)
        ms = 0;
    msec = static_cast<int>(ms % 1000);
    ms /= 1000;
    second = static_cast<int>(ms % 60);
    ms /= 60;
    minute = static_cast<int>(ms % 60);
    hour = static_cast<int>(ms / 60);
}

TDateTime DateTimeFromUnix(double seconds) {
    return seconds / 86400.0 + vuUnixEpochDays;
}

double UnixFromDateTime(TDateTime value) {
    return (value - vuUnixEpochDays) * 86400.0;
}

TDateTime NowUTC() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return DateTimeFromUnix(static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9);
}

TDateTime NowLocal() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    return DateTimeFromUnix(static_cast<double>(ts.tv_sec) + local.tm_gmtoff + ts.tv_nsec / 1e9);
}

} // namespace vu
