#include "big5/big5.h"
#include "concepts/concept_table.h"
#include "concepts/report.h"

#include <gtest/gtest.h>

using velmora::buildReport;

namespace {

QByteArray big5(const char* utf8) {
    return velmora::toBig5(utf8).value();
}

} // namespace

TEST(Report, SevenLinesForTheStartCharacter) {
    const auto report = buildReport(big5("頡"), "11110010");
    ASSERT_TRUE(report.ok());
    const QByteArrayList expected = {
        big5("『頡』"),
        big5("十進制代碼=242"),
        big5("二進制代碼=11110010"),
        big5("十六進制代碼=F2"),
        big5("倉頡編碼=GRMBC "),
        big5("【概念分類】"),
        big5("　　1主觀－1行為族－1經驗類－10行為屬：〔因═團體利益〕═意識層次。Ｆ２待人：〔因－目的"
             "，"
             "果－待人〕〔體═對象，用═行為〕〔可知人事時地物情理法〕"),
    };
    EXPECT_EQ(report.lines, expected);
}

TEST(Report, LowestAndHighestCodes) {
    const auto low = buildReport(big5("日"), "00000000");
    ASSERT_TRUE(low.ok());
    ASSERT_EQ(low.lines.size(), 7);
    EXPECT_EQ(low.lines[1], big5("十進制代碼=0"));
    EXPECT_EQ(low.lines[3], big5("十六進制代碼=00"));
    EXPECT_EQ(low.lines[4], big5("倉頡編碼=A     "));
    EXPECT_EQ(low.lines[6], velmora::conceptRow(0));

    const auto high = buildReport(big5("褒"), "11111111");
    ASSERT_TRUE(high.ok());
    EXPECT_EQ(high.lines[1], big5("十進制代碼=255"));
    EXPECT_EQ(high.lines[3], big5("十六進制代碼=FF"));
    EXPECT_EQ(high.lines[4], big5("倉頡編碼=XXYHD "));
    EXPECT_EQ(high.lines[6], velmora::conceptRow(255));

    const auto ten = buildReport(big5("日"), "00001010");
    EXPECT_EQ(ten.lines[3], big5("十六進制代碼=0A"));
}

TEST(Report, CharactersWithoutACangjieCodeGiveSixLines) {
    for (const QByteArray& character :
         {QByteArray(), QByteArray("A"), QByteArray("ab"), big5("，")}) {
        const auto report = buildReport(character, "00000001");
        ASSERT_TRUE(report.ok());
        ASSERT_EQ(report.lines.size(), 6) << character.toHex().constData();
        EXPECT_EQ(report.lines[0], big5("『") + character + big5("』"));
        EXPECT_EQ(report.lines[4], big5("【概念分類】"));
        EXPECT_EQ(report.lines[5], velmora::conceptRow(1));
    }
    EXPECT_EQ(buildReport(QByteArray(), "00000001").lines[0], big5("『』"));
}

TEST(Report, EveryCodeReportsItsOwnRowAndValues) {
    for (int v = 0; v < 256; ++v) {
        const QByteArray code = QByteArray::number(v, 2).rightJustified(8, '0');
        EXPECT_EQ(velmora::conceptCodeValue(code), v);
        EXPECT_EQ(velmora::conceptRowIndex(code), v);
        const auto report = buildReport(big5("頡"), code);
        ASSERT_TRUE(report.ok()) << v;
        EXPECT_EQ(report.lines[1], big5("十進制代碼=") + QByteArray::number(v));
        EXPECT_EQ(report.lines[2], big5("二進制代碼=") + code);
        EXPECT_EQ(report.lines[6], velmora::conceptRow(v));
    }
}

TEST(Report, RejectsCodesThatAreNotEightBinaryDigits) {
    for (const QByteArray& code :
         {QByteArray(), QByteArray("1111001"), QByteArray("111100101"), QByteArray("11110020"),
          QByteArray(" 1110010"), QByteArray("1111001\n"), QByteArray("abcdefgh")}) {
        const auto report = buildReport(big5("頡"), code);
        EXPECT_FALSE(report.ok()) << code.constData();
        EXPECT_TRUE(report.lines.isEmpty());
        EXPECT_TRUE(report.error.contains(QLatin1String("eight binary digits")));
    }
    // The value rule itself reads each character as a decimal digit.
    EXPECT_EQ(velmora::conceptCodeValue("12"), 4);
    EXPECT_EQ(velmora::conceptCodeValue("101"), 5);
}

TEST(Report, ConfirmationTextHasItsLoneCarriageReturns) {
    const QByteArrayList lines = {"a", "b"};
    EXPECT_EQ(velmora::confirmationText(lines),
              big5("您確定") + " \r" + "a\r\nb\r\n" + "\r\r" + big5("定義正確嗎 ?"));
    EXPECT_EQ(velmora::confirmationText({}), big5("您確定") + " \r\r\r" + big5("定義正確嗎 ?"));
    EXPECT_EQ(velmora::confirmationCaption(), big5("請確認"));
}

TEST(Report, ConfirmedReportsAccumulateInTheMemo) {
    const auto first = buildReport(big5("頡"), "11110010").lines;
    const auto second = buildReport(QByteArray(), "00000000").lines;
    QByteArrayList memo;
    velmora::transferToMemo(memo, first);
    velmora::transferToMemo(memo, second);
    QByteArrayList expected;
    expected.append(QByteArray());
    expected.append(first);
    expected.append(QByteArray());
    expected.append(second);
    EXPECT_EQ(memo, expected);
    EXPECT_EQ(memo.size(), 1 + 7 + 1 + 6);
}
