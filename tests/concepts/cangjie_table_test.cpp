#include "concepts/big5.h"
#include "concepts/cangjie_table.h"

#include <QHash>
#include <QSet>

#include <gtest/gtest.h>

using velmora::cangjieLookup;
using velmora::cangjieRow;
using velmora::CangjieRowCount;

namespace {

QByteArray big5(const char* utf8) {
    return velmora::toBig5(utf8).value();
}

QByteArray codeOf(int i) {
    return QByteArray(cangjieRow(i).data(), 6);
}
QByteArray characterOf(int i) {
    return QByteArray(cangjieRow(i).data() + 6, 2);
}

// "CODE  " + character, as a row reads.
std::string rowText(const char* code, const char* character) {
    return QByteArray(code).leftJustified(6, ' ').append(big5(character)).toStdString();
}

} // namespace

TEST(CangjieTable, EveryRowIsACodeAndOneDoubleByteCharacterInSortOrder) {
    ASSERT_GT(CangjieRowCount, 14000);
    for (int i = 0; i < CangjieRowCount; ++i) {
        const std::string_view r = cangjieRow(i);
        ASSERT_EQ(r.size(), 8u);
        // 1 to 5 letters, then blanks only, never a blank between letters.
        const std::size_t letters = r.substr(0, 6).find(' ');
        ASSERT_GE(letters, 1u) << i;
        ASSERT_LE(letters, 5u) << i;
        for (std::size_t k = 0; k < 6; ++k)
            ASSERT_TRUE(k < letters ? (r[k] >= 'A' && r[k] <= 'Z') : r[k] == ' ') << i;
        const auto lead = static_cast<unsigned char>(r[6]);
        const auto trail = static_cast<unsigned char>(r[7]);
        ASSERT_TRUE(lead >= 0x81 && lead <= 0xFE) << i;
        ASSERT_TRUE((trail >= 0x40 && trail <= 0x7E) || (trail >= 0xA1 && trail <= 0xFE)) << i;
        if (i > 0) {
            // Unsigned byte order of the six code bytes; the blank sorts before the letters.
            ASSERT_LE(cangjieRow(i - 1).substr(0, 6), r.substr(0, 6)) << i;
        }
    }
}

TEST(CangjieTable, BeginsAndEndsAsExpected) {
    EXPECT_EQ(cangjieRow(0), rowText("A", "日"));
    EXPECT_EQ(cangjieRow(1), rowText("A", "曰"));
    EXPECT_EQ(cangjieRow(2), rowText("AA", "昌"));
    EXPECT_EQ(cangjieRow(3), rowText("AA", "昍"));
    EXPECT_EQ(cangjieRow(4), rowText("AAA", "晶"));
    EXPECT_EQ(cangjieRow(5), rowText("AAMH", "暘"));
    EXPECT_EQ(cangjieRow(CangjieRowCount - 1), std::string("ZZAGG \x81\xE5"));
}

TEST(CangjieTable, LookupFindsTheFirstRowInTableOrder) {
    EXPECT_EQ(cangjieLookup(big5("頡")), QByteArray("GRMBC "));
    EXPECT_EQ(cangjieLookup(big5("日")), QByteArray("A     "));
    EXPECT_EQ(cangjieLookup(big5("時")), QByteArray("ADI   ")) << "also under AGDI";
    EXPECT_EQ(cangjieLookup(big5("褒")), QByteArray("XXYHD ")) << "X code first in order";
    EXPECT_EQ(cangjieLookup(big5("群")), QByteArray("SRTQ  "));
    EXPECT_EQ(cangjieLookup(big5("、")), QByteArray("I     "));
    EXPECT_EQ(cangjieLookup(QByteArray("\x81\xE5")), QByteArray("ZZAGG "));
    EXPECT_EQ(cangjieLookup(QByteArray("\x81\x40")), QByteArray("ZZAAA "));
    EXPECT_EQ(cangjieLookup(big5("⑥")), QByteArray("YYYHF "));
}

TEST(CangjieTable, LookupFindsNothingForTextThatIsNotOneTableCharacter) {
    EXPECT_FALSE(cangjieLookup(big5("，")));
    EXPECT_FALSE(cangjieLookup(big5("。")));
    EXPECT_FALSE(cangjieLookup(QByteArray()));
    EXPECT_FALSE(cangjieLookup("A"));
    EXPECT_FALSE(cangjieLookup("AB"));
    // The whole text is compared: a table character with anything around it finds nothing.
    EXPECT_FALSE(cangjieLookup(big5("頡頡")));
    EXPECT_FALSE(cangjieLookup(big5("頡 ")));
    EXPECT_FALSE(cangjieLookup(QByteArray("\xBE")));
}

TEST(CangjieTable, FamiliesAndRepetitions) {
    QHash<QByteArray, QByteArrayList> codesOf;
    QHash<QByteArray, int> charactersUnder;
    QList<int> userDefinedRows;
    QByteArrayList repeated;
    int firstX = -1, lastX = -1;
    for (int i = 0; i < CangjieRowCount; ++i) {
        codesOf[characterOf(i)].append(codeOf(i).trimmed());
        charactersUnder[codeOf(i)]++;
        if (codeOf(i).startsWith("ZZ"))
            userDefinedRows.append(i);
        if (codeOf(i).startsWith('X')) {
            lastX = i;
            if (firstX < 0)
                firstX = i;
        }
        if (i > 0 && cangjieRow(i) == cangjieRow(i - 1))
            repeated.append(QByteArray(cangjieRow(i).data(), 8));
    }
    // 褒's five codes, in table order.
    EXPECT_EQ(codesOf[big5("褒")], QByteArrayList({"XXYHD", "XYHDV", "YHDV", "YHDV", "YODV"}));
    EXPECT_EQ(charactersUnder["IPP   "], 4);
    for (const auto& codes : codesOf)
        EXPECT_LE(codes.size(), 5);
    for (const int n : charactersUnder)
        EXPECT_LE(n, 4);
    // The six rows that stand twice, identical and adjacent.
    QByteArrayList expected;
    for (const auto& [code, character] : {std::pair{"JJ", "廾"},
                                          {"LWB", "冑"},
                                          {"SRTQ", "群"},
                                          {"UHEJ", "峰"},
                                          {"YCP", "戇"},
                                          {"YHDV", "褒"}})
        expected.append(QByteArray::fromStdString(rowText(code, character)));
    EXPECT_EQ(repeated, expected);
    // X codes form one block, and every X-coded character also has a plain code.
    for (int i = firstX; i <= lastX; ++i) {
        ASSERT_TRUE(codeOf(i).startsWith('X')) << i;
        const auto& codes = codesOf[characterOf(i)];
        EXPECT_TRUE(std::any_of(codes.begin(), codes.end(), [](const QByteArray& c) {
            return !c.startsWith('X');
        })) << i;
    }
    // The user-defined characters 8140..81E5 close the table in code point order.
    ASSERT_EQ(userDefinedRows.size(), 132);
    EXPECT_EQ(userDefinedRows.back(), CangjieRowCount - 1);
    EXPECT_EQ(userDefinedRows.front(), CangjieRowCount - 132);
    for (int k = 1; k < userDefinedRows.size(); ++k)
        EXPECT_LT(characterOf(userDefinedRows[k - 1]), characterOf(userDefinedRows[k]));
    EXPECT_EQ(codeOf(userDefinedRows[62]), "ZZACU ") << "817E, slot 62";
    EXPECT_EQ(codeOf(userDefinedRows[63]), "ZZADB ") << "81A1, slot 64";
    // The seven Hong Kong positions FA40..FA45 and FECE.
    int hongKong = 0;
    for (int i = 0; i < CangjieRowCount; ++i) {
        const QByteArray c = characterOf(i);
        hongKong += (c >= QByteArray("\xFA\x40") && c <= QByteArray("\xFA\x45")) ||
                    c == QByteArray("\xFE\xCE");
    }
    EXPECT_EQ(hongKong, 7);
}
