#include "big5/big5.h"
#include "concepts/cangjie_index.h"
#include "concepts/cangjie_table.h"

#include <QHash>
#include <QSet>

#include <gtest/gtest.h>

using velmora::cangjieCharactersUnder;
using velmora::cangjieCodesOf;
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

// The lookup as a plain scan of the rows in table order, for comparison with the index: the
// first row, or -1.
int scanFirstRow(char first, char second) {
    for (int i = 0; i < CangjieRowCount; ++i) {
        const char* row = velmora::CangjieTable + std::ptrdiff_t(i) * 8;
        if (row[6] == first && row[7] == second)
            return i;
    }
    return -1;
}

TEST(CangjieTable, IndexAnswersLikeTheScanForEveryTwoByteText) {
    // Every Big5 character is among the 65,536 two-byte texts; so are all byte pairs that are
    // not characters at all.
    for (int value = 0; value < 0x10000; ++value) {
        QByteArray text;
        text += char(value >> 8);
        text += char(value & 0xFF);
        const int row = scanFirstRow(text[0], text[1]);
        ASSERT_EQ(velmora::firstCangjieRow(text), row) << std::hex << value;
        ASSERT_EQ(cangjieLookup(text), row < 0 ? std::nullopt : std::optional(codeOf(row)))
            << std::hex << value;
    }
    for (const QByteArray& text : {QByteArray(), QByteArray("\xBE"), big5("頡頡"), big5("頡 ")})
        EXPECT_EQ(velmora::firstCangjieRow(text), -1);
}

TEST(CangjieTable, CharactersFoldedOrCompatibleHaveTheirOwnCodesAfterTheOlderRows) {
    EXPECT_EQ(cangjieLookup(big5("胄")), QByteArray("LWB   "));
    EXPECT_EQ(cangjieLookup(big5("褎")), QByteArray("YHDV  "));
    EXPECT_EQ(cangjieLookup(QByteArray("\xC9\x4A")), QByteArray("MU    ")) << "as 兀 (A461)";
    EXPECT_EQ(cangjieLookup(QByteArray("\xDD\xFC")), QByteArray("GRHNE ")) << "as 嗀 (DCD1)";
    // Each stands after the rows that were there before it, which keep their first codes.
    EXPECT_EQ(cangjieCharactersUnder("LWB"), QByteArrayList({big5("冑"), big5("胄")}));
    EXPECT_EQ(cangjieCharactersUnder("MU"), QByteArrayList({big5("兀"), "\xC9\x4A"}));
    EXPECT_EQ(cangjieCharactersUnder("GRHNE"), QByteArrayList({big5("嗀"), "\xDD\xFC"}));
    EXPECT_EQ(cangjieCharactersUnder("YHDV").mid(1), QByteArrayList({big5("褒"), big5("褎")}));
    EXPECT_EQ(cangjieLookup(big5("冑")), QByteArray("LWB   "));
    EXPECT_EQ(cangjieLookup(big5("兀")), QByteArray("MU    "));
}

TEST(CangjieTable, CodesOfACharacterAndCharactersUnderACodeInTableOrder) {
    EXPECT_EQ(cangjieCodesOf(big5("褒")), QByteArrayList({"XXYHD", "XYHDV", "YHDV", "YODV"}))
        << "the repeated YHDV row once";
    EXPECT_EQ(cangjieCodesOf(big5("時")), QByteArrayList({"ADI", "AGDI"}));
    EXPECT_EQ(cangjieCodesOf(big5("日")), QByteArrayList({"A"}));
    EXPECT_EQ(cangjieCodesOf(QByteArray("\x81\xE5")), QByteArrayList({"ZZAGG"}));
    EXPECT_TRUE(cangjieCodesOf(big5("，")).isEmpty());
    EXPECT_TRUE(cangjieCodesOf(QByteArray()).isEmpty());

    EXPECT_EQ(cangjieCharactersUnder("IPP"),
              QByteArrayList({big5("態"), big5("庇"), big5("忒"), big5("麀")}));
    EXPECT_EQ(cangjieCharactersUnder("A"), QByteArrayList({big5("日"), big5("曰")}))
        << "not the longer codes that begin with A";
    EXPECT_EQ(cangjieCharactersUnder("ZZAGG"), QByteArrayList({"\x81\xE5"}));
    EXPECT_EQ(cangjieCharactersUnder("JJ").count(big5("廾")), 1) << "its repeated row once";
    for (const QByteArray& notACode : {QByteArray(), QByteArray("ipp"), QByteArray("ABCDEF"),
                                       QByteArray("A B"), QByteArray("ZZZZZ"), QByteArray("A1")})
        EXPECT_TRUE(cangjieCharactersUnder(notACode).isEmpty()) << notACode.constData();
    // Every row is found again through both listings.
    for (int i = 0; i < CangjieRowCount; i += 97) {
        EXPECT_TRUE(cangjieCodesOf(characterOf(i)).contains(codeOf(i).trimmed())) << i;
        EXPECT_TRUE(cangjieCharactersUnder(codeOf(i).trimmed()).contains(characterOf(i))) << i;
    }
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
