// Bounded random inputs for the parsers that read text from the network or from stored files:
// HTTP dates, registered commands, the scrambled credentials and the settings text. Run under the
// address and undefined-behaviour checkers; a fixed seed keeps every run the same.
#include "upgrade/utils/vuHTTPSettings.h"
#include "upgrade/utils/vuUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace vu;

namespace {

constexpr int kRounds = 150000;

// Random text built from pieces that steer the parsers into their branches, mixed with raw bytes.
class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    QByteArray Text(const std::vector<QByteArray>& pieces, int maxParts) {
        QByteArray out;
        const int parts = Pick(maxParts + 1);
        for (int i = 0; i < parts; ++i) {
            switch (Pick(4)) {
            case 0:
                out += RawBytes(Pick(6));
                break;
            case 1:
                out += QByteArray::number(Pick(100000) - 50000);
                break;
            default:
                out += pieces[Pick(static_cast<int>(pieces.size()))];
                break;
            }
        }
        return out;
    }

    QByteArray RawBytes(int n) {
        QByteArray out(n, '\0');
        for (char& c : out)
            c = static_cast<char>(Pick(256));
        return out;
    }

    int Pick(int n) { return n <= 0 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(rng_); }

private:
    std::mt19937 rng_;
};

const std::vector<QByteArray> kDatePieces = {
    "Sun", "Sunday", ",",        " ",        "  ",       "-",     ":",     "Nov",
    "nov", "Feb",    "06",       "6",        "31",       "1994",  "94",    "79",
    "80",  "00",     "08:49:37", "23:59:59", "24:00:00", "GMT",   "+0100", "-0530",
    "+",   "-99",    "\t",       "\r\n",     "9999",     "10000", "0",     "99999999999"};

const std::vector<QByteArray> kCommandPieces = {"\"",
                                                " ",
                                                "-",
                                                " -",
                                                " /",
                                                " \\",
                                                ",",
                                                " %",
                                                "%1",
                                                "\"%1\"",
                                                "C:\\Program Files\\",
                                                "b.exe",
                                                "url.dll",
                                                "RUNDLL32.EXE",
                                                "rundll",
                                                ".",
                                                ".DLL",
                                                ":",
                                                "\\",
                                                "/usr/bin/x",
                                                "\t"};

const std::vector<QByteArray> kSettingsPieces = {"Name",
                                                 "Proxy.AccessType",
                                                 "=",
                                                 "\n",
                                                 "\r\n",
                                                 "#",
                                                 " ",
                                                 "\"",
                                                 "\\",
                                                 "\\x",
                                                 "\\xA4",
                                                 "\\n",
                                                 "{",
                                                 "}",
                                                 "00FF",
                                                 "A",
                                                 "-",
                                                 "9223372036854775807",
                                                 "9223372036854775808",
                                                 "True",
                                                 "atDirect",
                                                 "LInfo",
                                                 ".",
                                                 "_"};

} // namespace

TEST(UtilsFuzz, ParseHTTPDateNeverFaults) {
    Generator gen(20061206);
    for (int i = 0; i < kRounds; ++i) {
        const QByteArray text = gen.Text(kDatePieces, 12);
        const TDateTime value = ParseHTTPDate(text);
        ASSERT_TRUE(std::isfinite(value)) << text.toHex().constData();
        // Whatever parses lies within the calendar's range, years 1 to 9999 (plus the zone and
        // offset shifts).
        ASSERT_GE(value, -693595) << text.toHex().constData();
        ASSERT_LT(value, 2958467) << text.toHex().constData();
        const TDateTime offset = ParseGMTOffset(text);
        ASSERT_LE(std::fabs(offset), 100.0 / 24 + 100.0 / 1440);
    }
}

TEST(UtilsFuzz, SplitCommandLineNeverGrowsTheText) {
    Generator gen(1219);
    for (int i = 0; i < kRounds; ++i) {
        const QByteArray input = gen.Text(kCommandPieces, 10);
        QByteArray command = input, params;
        SplitCommandLine(command, params);
        // Splitting only removes quotes, blanks and separators' room: never more bytes than given.
        ASSERT_LE(command.size() + params.size(), input.size()) << input.toHex().constData();
        QByteArray left, right;
        SplitAt(gen.Text(kCommandPieces, 1), input, left, gen.Pick(4), gen.Pick(2) == 1, right);
    }
}

TEST(UtilsFuzz, LInfoReaderAcceptsOnlyWhatTheWriterProduces) {
    Generator gen(2194);
    int accepted = 0;
    for (int i = 0; i < kRounds; ++i) {
        QByteArray record;
        if (gen.Pick(2) == 0) {
            record = gen.RawBytes(gen.Pick(40));
        } else {
            // A valid record, then damaged in one place (or not at all).
            record = EncodeLInfo(gen.RawBytes(gen.Pick(20)), gen.RawBytes(gen.Pick(20)));
            if (!record.isEmpty() && gen.Pick(3) > 0) {
                switch (gen.Pick(3)) {
                case 0:
                    record[gen.Pick(static_cast<int>(record.size()))] =
                        static_cast<char>(gen.Pick(256));
                    break;
                case 1:
                    record.chop(gen.Pick(static_cast<int>(record.size())) + 1);
                    break;
                default:
                    record += gen.RawBytes(gen.Pick(4) + 1);
                    break;
                }
            }
        }
        QByteArray name = "keep", pass = "keep";
        if (DecodeLInfo(record, name, pass)) {
            ++accepted;
            // An accepted record is exactly the one the writer makes of what was read.
            ASSERT_EQ(EncodeLInfo(name, pass), record) << record.toHex().constData();
        } else {
            ASSERT_EQ(name, "keep");
            ASSERT_EQ(pass, "keep");
        }
        // The settings reader never faults on the same bytes as a binary value.
        TvuLoginComponent login;
        LoadComponentSettings(login, "LInfo={" + record.toHex() + "}\n");
    }
    EXPECT_GT(accepted, kRounds / 10); // the valid branch was really exercised
}

TEST(UtilsFuzz, SettingsParserNeverFaults) {
    Generator gen(1063);
    for (int i = 0; i < kRounds; ++i) {
        const QByteArray text = gen.Text(kSettingsPieces, 16);
        QList<std::pair<QByteArray, TvuStoredValue>> props;
        QString error;
        if (ParseStoredSettings(text, props, &error)) {
            // What parses writes back to text that parses to the same values.
            TvuSettingsWriter writer;
            for (const auto& [name, value] : props) {
                QByteArray bytes;
                qint64 number = 0;
                if (value.ToString(bytes))
                    writer.WriteString(name, bytes);
                else if (value.ToBinary(bytes))
                    writer.WriteBinary(name, bytes);
                else if (value.ToIdent(bytes))
                    writer.WriteIdent(name, bytes);
                else if (value.ToInteger(number))
                    writer.WriteInteger(name, number);
            }
            QList<std::pair<QByteArray, TvuStoredValue>> again;
            ASSERT_TRUE(ParseStoredSettings(writer.Text(), again)) << text.toHex().constData();
            ASSERT_EQ(again.size(), props.size());
        } else {
            ASSERT_TRUE(props.isEmpty());
            ASSERT_FALSE(error.isEmpty());
        }
    }
}
