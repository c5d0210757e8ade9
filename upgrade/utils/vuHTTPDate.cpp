#include "upgrade/utils/vuHTTPDate.h"

#include "upgrade/utils/vuByteText.h"

#include <ctime>

namespace vu {

TDateTime LocalTimeBias() {
    const time_t now = time(nullptr);
    tm local{};
    if (!localtime_r(&now, &local))
        return 0;
    return (-static_cast<double>(local.tm_gmtoff) / 60.0) / 1440.0;
}

TDateTime UTCToLocal(TDateTime value) {
    return value - LocalTimeBias();
}

void CutToken(QByteArray& text, const QByteArray& separator, bool remove, QByteArray& token) {
    const int at = separator.isEmpty() ? -1 : text.indexOf(separator);
    if (at < 0) {
        token = text;
        if (remove)
            text.clear();
        return;
    }
    token = text.left(at);
    if (remove)
        text = text.mid(at + separator.size());
}

namespace {

// The 1-based place of `name` (any case) among the upper-case `names`; 0 when absent.
template <size_t N> int NameIndex(const QByteArray& name, const char* const (&names)[N]) {
    const QByteArray upper = name.toUpper();
    for (size_t i = 0; i < N; ++i) {
        if (upper == names[i])
            return static_cast<int>(i) + 1;
    }
    return 0;
}

} // namespace

int DayNameIndex(const QByteArray& name) {
    static const char* const kDays[7] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    return NameIndex(name, kDays);
}

int MonthNameIndex(const QByteArray& name) {
    static const char* const kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                            "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    return NameIndex(name, kMonths);
}

TDateTime ParseGMTOffset(const QByteArray& text) {
    const QByteArray s = Trim(text).left(5);
    if (s.isEmpty() || (s[0] != '+' && s[0] != '-'))
        return 0;
    int hours = 0, minutes = 0;
    // Both fields are plain digits: a sign or blank inside them is a conversion error.
    const QByteArray h = s.mid(1, 2), m = s.mid(3, 2);
    auto digits = [](const QByteArray& f) {
        return f.size() == 2 && f[0] >= '0' && f[0] <= '9' && f[1] >= '0' && f[1] <= '9';
    };
    if (!digits(h) || !digits(m) || !StrToInt(h, hours) || !StrToInt(m, minutes))
        return 0;
    const TDateTime delta = hours / 24.0 + minutes / 1440.0;
    return s[0] == '-' ? -delta : delta;
}

TDateTime ParseHTTPDate(const QByteArray& text) {
    QByteArray s = Trim(text);
    if (s.isEmpty())
        return 0;
    TDateTime result = 0;
    QByteArray token;
    [&] {
        if (DayNameIndex(s.left(3)) > 0) {
            CutToken(s, " ", true, token);
            s = TrimLeft(s);
        }
        const int dash = s.indexOf('-');
        const int blank = s.indexOf(' ');
        QByteArray sep = " ";
        if (dash >= 1 && (blank < 0 || dash < blank))
            sep = "-";
        int day = 1, month = 0;
        auto readDay = [&] {
            CutToken(s, sep, true, token);
            day = StrToIntDef(token, 1);
            s = TrimLeft(s);
        };
        auto readMonth = [&] {
            CutToken(s, sep, true, token);
            month = MonthNameIndex(token);
            s = TrimLeft(s);
        };
        CutToken(s, sep, false, token);
        if (MonthNameIndex(token) > 0) {
            readMonth();
            readDay();
        } else {
            readDay();
            readMonth();
        }
        CutToken(s, " ", true, token);
        int year = StrToIntDef(token, 1900);
        if (year == 1900) {
            // asctime: the time comes before the year.
            year = StrToIntDef(s, 1900);
            s = token;
        }
        if (year >= 0 && year < 80)
            year += 2000;
        else if (year >= 80 && year <= 99)
            year += 1900;
        if (!TryEncodeDate(year, month, day, result)) {
            result = 0;
            return;
        }
        if (s.contains(':')) {
            QByteArray time, part;
            CutToken(s, " ", true, time);
            CutToken(time, ":", true, part);
            const int hour = StrToIntDef(part, 0);
            CutToken(time, ":", true, part);
            const int minute = StrToIntDef(part, 0);
            CutToken(time, " ", true, part);
            const int second = StrToIntDef(part, 0);
            TDateTime fraction = 0;
            if (!TryEncodeTime(hour, minute, second, 0, fraction)) {
                result = 0;
                return;
            }
            result += fraction;
        }
        s = TrimLeft(s);
    }();
    if (s.size() > 4)
        result -= ParseGMTOffset(s);
    return UTCToLocal(result);
}

} // namespace vu
