// Pure routines: versions, HTTP dates, command splitting, percentages, URL file names.
#include "upgrade/utils/vuUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

using namespace vu;

namespace {

// Sets the process time zone for one test and restores it afterwards.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            old_ = old, hadOld_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool hadOld_ = false;
};

TDateTime At(int y, int mo, int d, int h, int mi, int s) {
    TDateTime v = 0;
    EXPECT_TRUE(TryEncodeDateTime(y, mo, d, h, mi, s, 0, v));
    return v;
}

constexpr double kSecond = 1.0 / 86400.0;

} // namespace

TEST(UtilsVersions, PartsAndComparison) {
    const auto parts = SplitVersion("1.2");
    EXPECT_EQ(parts[0], "1");
    EXPECT_EQ(parts[1], "2");
    EXPECT_EQ(parts[2], "0");
    EXPECT_EQ(parts[3], "0");
    EXPECT_EQ(SplitVersion("1.2.3.4.5")[3], "4");

    EXPECT_EQ(CompareVersions("1.2", "1.2.0.0"), 0);
    EXPECT_EQ(CompareVersions("1.10", "1.9"), 1);
    EXPECT_EQ(CompareVersions("1.9", "1.10"), -1);
    EXPECT_EQ(CompareVersions("2", "1.99.99.99"), 1);
    // A part that is not a number: the whole strings decide, byte by byte.
    EXPECT_EQ(CompareVersions("1.a", "1.b"), -1);
    EXPECT_EQ(CompareVersions("1.b", "1.a"), 1);
    EXPECT_EQ(CompareVersions("1.10.x", "1.9.x"), 1); // decided before the bad part
    EXPECT_EQ(CompareVersions("1.x.10", "1.x.9"), -1);
    // Only four parts count.
    EXPECT_EQ(CompareVersions("1.2.3.4.9", "1.2.3.4.1"), 0);
    // An empty part is not a number either.
    EXPECT_EQ(CompareVersions("1..2", "1.0.2"), -1);
}

TEST(UtilsDates, CalendarConversions) {
    TDateTime v = 0;
    ASSERT_TRUE(TryEncodeDate(1899, 12, 30, v));
    EXPECT_EQ(v, 0);
    ASSERT_TRUE(TryEncodeDate(1970, 1, 1, v));
    EXPECT_EQ(v, vuUnixEpochDays);
    EXPECT_FALSE(TryEncodeDate(2023, 2, 29, v));
    EXPECT_TRUE(TryEncodeDate(2024, 2, 29, v));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, v));
    EXPECT_FALSE(TryEncodeDate(10000, 1, 1, v));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, v));
    EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, v));

    int y, mo, d, h, mi, s, ms;
    const TDateTime t = At(1994, 11, 6, 8, 49, 37);
    DecodeDate(t, y, mo, d);
    DecodeTime(t, h, mi, s, ms);
    EXPECT_EQ(y * 10000 + mo * 100 + d, 19941106);
    EXPECT_EQ(h * 10000 + mi * 100 + s, 84937);
    EXPECT_NEAR(UnixFromDateTime(t), 784111777.0, 1e-3);
    EXPECT_NEAR(DateTimeFromUnix(784111777.0), t, 1e-9);
}

TEST(UtilsDates, LocalTimeBiasFollowsTheZone) {
    {
        ZoneGuard zone("UTC0");
        EXPECT_DOUBLE_EQ(LocalTimeBias(), 0);
    }
    {
        ZoneGuard zone("XST-1"); // one hour east of Greenwich, no daylight saving
        EXPECT_NEAR(LocalTimeBias(), -1.0 / 24, 1e-12);
        EXPECT_NEAR(UTCToLocal(10.0), 10.0 + 1.0 / 24, 1e-12);
    }
    {
        ZoneGuard zone("XST+5:30");
        EXPECT_NEAR(LocalTimeBias(), 5.5 / 24, 1e-12);
    }
}

TEST(UtilsDates, ThreeFormsAndOffsetsGiveOneInstant) {
    ZoneGuard zone("XST-2");
    const TDateTime expected = UTCToLocal(At(1994, 11, 6, 8, 49, 37));
    EXPECT_NEAR(ParseHTTPDate("Sun, 06 Nov 1994 08:49:37 GMT"), expected, kSecond / 10);
    EXPECT_NEAR(ParseHTTPDate("Sunday, 06-Nov-94 08:49:37 GMT"), expected, kSecond / 10);
    EXPECT_NEAR(ParseHTTPDate("Sun Nov  6 08:49:37 1994"), expected, kSecond / 10);
    EXPECT_NEAR(ParseHTTPDate("Sun, 06 Nov 1994 09:49:37 +0100"), expected, kSecond / 10);
    EXPECT_NEAR(ParseHTTPDate("Sun, 06 Nov 1994 03:19:37 -0530"), expected, kSecond / 10);
    // Surrounding blanks, lower-case names and a missing day name.
    EXPECT_NEAR(ParseHTTPDate("  sun, 06 nov 1994 08:49:37 gmt \r\n"), expected, kSecond / 10);
    EXPECT_NEAR(ParseHTTPDate("06 Nov 1994 08:49:37 GMT"), expected, kSecond / 10);
    // No time of day: midnight.
    EXPECT_NEAR(ParseHTTPDate("Sun, 06 Nov 1994"), UTCToLocal(At(1994, 11, 6, 0, 0, 0)),
                kSecond / 10);
}

TEST(UtilsDates, TwoDigitYears) {
    ZoneGuard zone("UTC0");
    EXPECT_NEAR(ParseHTTPDate("Thursday, 01-Jun-79 00:00:00 GMT"), At(2079, 6, 1, 0, 0, 0),
                kSecond / 10);
    EXPECT_NEAR(ParseHTTPDate("Sunday, 01-Jun-80 00:00:00 GMT"), At(1980, 6, 1, 0, 0, 0),
                kSecond / 10);
    EXPECT_NEAR(ParseHTTPDate("Tue, 01 Jun 99 12:00:00 GMT"), At(1999, 6, 1, 12, 0, 0),
                kSecond / 10);
    EXPECT_NEAR(ParseHTTPDate("Sat, 01 Jun 00 12:00:00 GMT"), At(2000, 6, 1, 12, 0, 0),
                kSecond / 10);
}

TEST(UtilsDates, EmptyAndBrokenTexts) {
    ZoneGuard zone("XST-3");
    EXPECT_EQ(ParseHTTPDate(""), 0);
    EXPECT_EQ(ParseHTTPDate("   "), 0);
    // Failures give the local equivalent of 0, not 0 itself.
    EXPECT_NEAR(ParseHTTPDate("Sun, 06 Foo 1994 08:49:37 GMT"), UTCToLocal(0), 1e-12);
    EXPECT_NEAR(ParseHTTPDate("Sun, 31 Feb 1994 08:49:37 GMT"), UTCToLocal(0), 1e-12);
    EXPECT_NEAR(ParseHTTPDate("Sun, 06 Nov 1994 25:49:37 GMT"), UTCToLocal(0), 1e-12);
    EXPECT_NEAR(ParseHTTPDate("garbage"), UTCToLocal(0), 1e-12);
}

TEST(UtilsDates, OffsetsAndTokens) {
    EXPECT_NEAR(ParseGMTOffset("+0100"), 1.0 / 24, 1e-12);
    EXPECT_NEAR(ParseGMTOffset(" -0230 trailing"), -(2.0 / 24 + 30.0 / 1440), 1e-12);
    EXPECT_EQ(ParseGMTOffset("GMT"), 0);
    EXPECT_EQ(ParseGMTOffset("+01"), 0);
    EXPECT_EQ(ParseGMTOffset("+0x00"), 0);
    EXPECT_EQ(ParseGMTOffset("+-100"), 0);
    EXPECT_EQ(ParseGMTOffset(""), 0);

    EXPECT_EQ(DayNameIndex("sun"), 1);
    EXPECT_EQ(DayNameIndex("SAT"), 7);
    EXPECT_EQ(DayNameIndex("Sunday"), 0);
    EXPECT_EQ(MonthNameIndex("dec"), 12);
    EXPECT_EQ(MonthNameIndex("Ja"), 0);

    QByteArray text = "a b c", token;
    CutToken(text, " ", false, token);
    EXPECT_EQ(token, "a");
    EXPECT_EQ(text, "a b c");
    CutToken(text, " ", true, token);
    EXPECT_EQ(token, "a");
    EXPECT_EQ(text, "b c");
    CutToken(text, "-", true, token);
    EXPECT_EQ(token, "b c");
    EXPECT_EQ(text, "");
}

TEST(UtilsCommands, SplitAtFlagsAndMissingSeparator) {
    QByteArray left, right;
    SplitAt(" -", "prog -x -y", left, 0, false, right);
    EXPECT_EQ(left, "prog");
    EXPECT_EQ(right, "x -y");
    SplitAt(" -", "prog -x", left, vuSplitSepToLeft, false, right);
    EXPECT_EQ(left, "prog -");
    SplitAt(" -", "prog -x", left, vuSplitSepToRight, false, right);
    EXPECT_EQ(right, " -x");
    SplitAt(",", "abc", left, 0, true, right);
    EXPECT_EQ(left, "");
    EXPECT_EQ(right, "abc");
    SplitAt(",", "abc", left, 0, false, right);
    EXPECT_EQ(left, "abc");
    EXPECT_EQ(right, "");
}

TEST(UtilsCommands, RegisteredCommandsSplit) {
    struct Case {
        const char* command;
        const char* program;
        const char* parameters;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\Web\\browser.exe\" -nohome", "C:\\Program Files\\Web\\browser.exe",
         "-nohome"},
        {"D:\\b.exe \"%1\"", "D:\\b.exe", "%1"},
        {"D:\\WINDOWS\\RUNDLL32.EXE url.dll,FileProtocolHandler %1", "D:\\WINDOWS\\RUNDLL32.EXE",
         "url.dll,FileProtocolHandler %1"},
        {"\"C:\\Web\\b.exe\" \"%1\"", "C:\\Web\\b.exe", "%1"},
        {"C:\\Web\\b.exe /url %1", "C:\\Web\\b.exe", "/url %1"},
        {"C:\\Web\\b.exe %1", "C:\\Web\\b.exe", "%1"},
        // The blank inside the path is not a cut: the program keeps its extension.
        {"C:\\My Web\\b.exe -x", "C:\\My Web\\b.exe", "-x"},
        {"  /usr/bin/browser %u  ", "/usr/bin/browser", "%u"},
        {"browser", "browser", ""},
        // A lone quote is dropped.
        {"\"C:\\b.exe -x", "C:\\b.exe", "-x"},
    };
    for (const Case& c : cases) {
        QByteArray command = c.command, params = "old";
        SplitCommandLine(command, params);
        EXPECT_EQ(command, c.program) << c.command;
        EXPECT_EQ(params, c.parameters) << c.command;
    }
    QByteArray empty = "   ", params = "kept";
    SplitCommandLine(empty, params);
    EXPECT_EQ(empty, "");
    EXPECT_EQ(params, "kept");
}

TEST(UtilsNumbers, PercentRoundsHalfToEven) {
    EXPECT_EQ(PercentOf(0, 0), 0);
    EXPECT_EQ(PercentOf(0, 5), 0);
    EXPECT_EQ(PercentOf(3, 1), 33);
    EXPECT_EQ(PercentOf(3, 2), 67);
    EXPECT_EQ(PercentOf(8, 1), 12);  // 12.5
    EXPECT_EQ(PercentOf(8, 3), 38);  // 37.5
    EXPECT_EQ(PercentOf(200, 1), 0); // 0.5
    EXPECT_EQ(PercentOf(200, 3), 2); // 1.5
    EXPECT_EQ(PercentOf(4294967296.0 * 4, 4294967296.0 * 4), 100);
    EXPECT_EQ(PercentOf(1, 3), 0); // 300 does not fit a byte
    EXPECT_EQ(PercentOf(1, -1), 0);
    EXPECT_EQ(PercentOf(NAN, 1), 0);
}

TEST(UtilsFileNames, LastPartOfTheURL) {
    EXPECT_EQ(URLToFileName("http://host/dir/setup.exe"), "setup.exe");
    EXPECT_EQ(URLToFileName("http://host/dir/"), "");
    EXPECT_EQ(URLToFileName("file:name.txt"), "name.txt");
    EXPECT_EQ(URLToFileName("C:\\a\\b.zip"), "b.zip");
    EXPECT_EQ(URLToFileName("plain"), "plain");
}
