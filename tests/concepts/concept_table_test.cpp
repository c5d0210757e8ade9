#include "big5/big5.h"
#include "concepts/concept_table.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using velmora::ConceptTable;
using velmora::fromBig5;

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString row(int v) {
    return fromBig5(velmora::conceptRow(v));
}

QString fullWidthHex(int v) {
    QString out;
    for (const QChar c : QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper())
        out += QChar(c.unicode() + 0xFEE0); // ASCII 0-9, A-F to their full-width forms
    return out;
}

QString binary(int value, int width) {
    return QStringLiteral("%1").arg(value, width, 2, QLatin1Char('0'));
}

// Pieces of a row: the group prefix, the index, the level-5 name and the detail.
const QRegularExpression kRowShape(QString::fromUtf8(
    "^\u3000\u3000([01])(..)－([01])(..)族－([01])(..)類－([01]{2})(\u3000?..)屬：(.*?)"
    "([０-９Ａ-Ｆ]{2})(.{2}|.  |  .)(：.*)?$"));

} // namespace

TEST(ConceptTable, FillAssignsAllRowsAndIsRepeatable) {
    velmora::fillConceptTable();
    const auto first = ConceptTable;
    for (int v = 0; v < velmora::kConceptRowCount; ++v)
        EXPECT_FALSE(first[v].isEmpty()) << v;
    velmora::fillConceptTable();
    EXPECT_EQ(ConceptTable, first);
}

TEST(ConceptTable, EveryRowHasTheRowShape) {
    static const char* const level3[8] = {"定義", "應用", "本存", "人造",
                                          "感知", "狀態", "能力", "經驗"};
    int shortest = 1000, longest = 0;
    for (int v = 0; v < 256; ++v) {
        const QByteArray& big5 = velmora::conceptRow(v);
        shortest = std::min<int>(shortest, big5.size());
        longest = std::max<int>(longest, big5.size());
        const QString text = fromBig5(big5);
        const auto m = kRowShape.match(text);
        ASSERT_TRUE(m.hasMatch()) << v << " " << text.toStdString();

        const QString digits = m.captured(1) + m.captured(3) + m.captured(5) + m.captured(7);
        EXPECT_EQ(digits, binary(v >> 3, 5)) << v;
        EXPECT_EQ(m.captured(10), fullWidthHex(v)) << v;
        EXPECT_EQ(m.captured(2), v < 128 ? u("客觀") : u("主觀")) << v;
        EXPECT_EQ(m.captured(6), u(level3[v >> 5])) << v;
        // The level-5 name takes four bytes in every row, blanks included.
        EXPECT_EQ(velmora::toBig5(m.captured(11))->size(), 4) << v;
        EXPECT_EQ(m.captured(12).isEmpty(), v < 16) << v;
        // The group prefix (everything before the index) is shared by eight rows.
        const QString prefix = text.left(m.capturedStart(10));
        EXPECT_EQ(prefix, row(v & ~7).left(prefix.size())) << v;
        // Pairs of ASCII blanks stand only where the rows carry them ("建  ", "  物", "宣  ").
        const int blankPairs = (v == 86 || v == 87 || v == 105 || v == 106) ? 1 : v == 237 ? 2 : 0;
        EXPECT_EQ(big5.count("  "), blankPairs) << v;
    }
    EXPECT_EQ(shortest, 69);
    EXPECT_EQ(longest, 155);
    EXPECT_EQ(velmora::conceptRow(0).size(), 69);
    EXPECT_EQ(velmora::conceptRow(15).size(), 69);
}

TEST(ConceptTable, RowsQuotedWhole) {
    EXPECT_EQ(row(0), u("　　0客觀－0抽象族－0定義類－00符號屬：意識層次。無〔體形能〕００類詞"));
    EXPECT_EQ(row(242),
              u("　　1主觀－1行為族－1經驗類－10行為屬：〔因═團體利益〕═意識層次。Ｆ２待人："
                "〔因－目的，果－待人〕〔體═對象，用═行為〕〔可知人事時地物情理法〕"));
    EXPECT_EQ(row(255),
              u("　　1主觀－1行為族－1經驗類－11控制屬：〔因═人之意志〕═意識層次ＦＦ殺戮："
                "〔因－目的，果－死亡〕〔體═生命，用═武力〕〔可知人事時地物情理法〕"));
    EXPECT_EQ(row(87), u("　　0客觀－1具象族－0本存類－10植物屬：字首〔因═光合作用〕═生命層次。５７"
                         "  物：〔體═性質〕〔用═麻醉〕〔可知事地物情理法〕"));
    EXPECT_EQ(row(237),
              u("　　1主觀－1行為族－1經驗類－01　溝通屬：〔因═一己需求〕═意識層次。ＥＤ宣  "
                "：〔因－目的，果－宣  〕〔體═認知，用═情緒〕〔可知人事情理法〕"));
    EXPECT_EQ(row(16), u("　　0客觀－0抽象族－0定義類－10根源屬：基本概念，總綱領。可知１０本源："
                         "〔體═宇宙〕〔用═知識〕〔有性質，無形體數量，可知事物理法〕"));
}

TEST(ConceptTable, IrregularRowsKeepTheirOddCharacters) {
    // "═" is the code page's extension character F9F9, in the bytes themselves.
    EXPECT_TRUE(velmora::conceptRow(242).contains(QByteArray::fromHex("f9f9")));
    EXPECT_TRUE(row(82).contains(u("〔用═可食」〔")));
    EXPECT_TRUE(row(89).contains(u("〔用═利害」〔")));
    EXPECT_TRUE(row(86).contains(u("〔用═建  〕")));
    for (int v = 248; v < 256; ++v)
        EXPECT_TRUE(row(v).contains(u("意識層次") + fullWidthHex(v))) << v;
    for (int v = 232; v < 240; ++v)
        EXPECT_TRUE(row(v).startsWith(u("　　1主觀－1行為族－1經驗類－01　溝通屬："))) << v;
}
