#include "big5/big5.h"
#include "concepts/navigator.h"

#include <gtest/gtest.h>

using velmora::chooseAtLevel;
using velmora::NavigatorModel;

namespace {

QByteArray big5(const char* utf8) {
    return velmora::toBig5(utf8).value();
}

QByteArrayList big5List(std::initializer_list<const char*> texts) {
    QByteArrayList out;
    for (const char* t : texts)
        out.append(big5(t));
    return out;
}

// Chooses the given positions in lists 1..5 in turn and returns the code.
QByteArray walk(NavigatorModel& model, std::initializer_list<int> positions) {
    int level = 1;
    std::optional<QByteArray> code;
    for (const int p : positions)
        code = chooseAtLevel(model, level++, p);
    return code.value_or(QByteArray());
}

} // namespace

TEST(Navigator, StartsWithOnlyTheFirstListFilled) {
    NavigatorModel model;
    EXPECT_EQ(model.lists[0].items, big5List({"靜態，客觀（體）", "動態，主觀（用） "}));
    EXPECT_TRUE(model.lists[0].items[1].endsWith(' '));
    for (int level = 2; level <= 5; ++level)
        EXPECT_TRUE(model.lists[level - 1].items.isEmpty());
    EXPECT_TRUE(model.LevelDigits1.isEmpty());
    EXPECT_TRUE(model.LevelDigits5.isEmpty());
    EXPECT_EQ(velmora::levelCaption(1), big5("立場"));
    EXPECT_EQ(velmora::levelCaption(5), big5("八象"));
}

TEST(Navigator, ScreenTextsAreTheBig5TextsDecoded) {
    QStringList decoded;
    for (const QByteArray& item : velmora::level1Items())
        decoded << velmora::fromBig5(item);
    EXPECT_EQ(velmora::level1ItemTexts(), decoded);
    for (int level = 0; level <= 6; ++level)
        EXPECT_EQ(velmora::levelCaptionText(level), velmora::fromBig5(velmora::levelCaption(level)))
            << "level " << level;
    EXPECT_TRUE(velmora::levelCaptionText(0).isEmpty());
    EXPECT_TRUE(velmora::levelCaptionText(6).isEmpty());
}

TEST(Navigator, FirstLevelChoiceFillsOnlyTheSecondList) {
    NavigatorModel model;
    chooseAtLevel(model, 1, 0);
    EXPECT_EQ(model.lists[1].items, big5List({"抽象", "具象"}));
    for (int level = 3; level <= 5; ++level)
        EXPECT_TRUE(model.lists[level - 1].items.isEmpty());
    chooseAtLevel(model, 1, 1);
    EXPECT_EQ(model.lists[1].items, big5List({"認識", "行為"}));
    EXPECT_EQ(model.LevelDigits1, "1");
}

TEST(Navigator, PathsGiveTheirCodes) {
    NavigatorModel model;
    EXPECT_EQ(walk(model, {0, 0, 0, 0, 0}), "00000000");
    EXPECT_EQ(model.lists[4].items[0], big5("類詞"));

    EXPECT_EQ(walk(model, {1, 1, 1, 2, 2}), "11110010");
    EXPECT_EQ(model.lists[3].items[2], big5("行事"));
    EXPECT_EQ(model.lists[4].items[2], big5("待人"));

    EXPECT_EQ(walk(model, {0, 1, 0, 2, 7}), "01010111");
    EXPECT_EQ(model.lists[4].items[7], QByteArray("  "));

    walk(model, {1, 1, 1, 1});
    EXPECT_EQ(model.lists[4].items[5], big5("宣") + " ");
}

TEST(Navigator, EveryPathGivesItsOwnCodeAndTheItemsOfItsLevel) {
    static const char* const level4Of111[4] = {"生活", "溝通", "行事", "控制"};
    for (int v = 0; v < 256; ++v) {
        NavigatorModel model;
        const QByteArray code =
            walk(model, {v >> 7, (v >> 6) & 1, (v >> 5) & 1, (v >> 3) & 3, v & 7});
        EXPECT_EQ(code, QByteArray::number(v, 2).rightJustified(8, '0')) << v;
        EXPECT_EQ(model.lists[1].items.size(), 2) << v;
        EXPECT_EQ(model.lists[2].items.size(), 2) << v;
        EXPECT_EQ(model.lists[3].items.size(), 4) << v;
        EXPECT_EQ(model.lists[4].items.size(), 8) << v;
        if ((v >> 5) == 7) {
            EXPECT_EQ(model.lists[3].items[(v >> 3) & 3], big5(level4Of111[(v >> 3) & 3]));
        }
    }
}

TEST(Navigator, ChoosingAgainEmptiesTheListsBelowAndKeepsUpperDigits) {
    NavigatorModel model;
    walk(model, {1, 1, 1, 2, 2});
    // Another item in the fifth list: same digits 1 to 5, new last three.
    EXPECT_EQ(chooseAtLevel(model, 5, 7), "11110111");
    EXPECT_EQ(model.lists[4].items.size(), 8) << "the fifth list is not refilled by itself";
    // A new choice at level 1 empties lists 3..5 and refills list 2.
    chooseAtLevel(model, 1, 0);
    EXPECT_EQ(model.lists[1].items, big5List({"抽象", "具象"}));
    EXPECT_EQ(model.lists[1].selected, -1);
    for (int level = 3; level <= 5; ++level) {
        EXPECT_TRUE(model.lists[level - 1].items.isEmpty());
        EXPECT_EQ(model.lists[level - 1].selected, -1);
    }
    // Lower digit strings are never reset.
    EXPECT_EQ(model.LevelDigits4, "10");
    EXPECT_EQ(model.LevelDigits5, "111");
}

TEST(Navigator, NoSelectionOrOutOfRangePositions) {
    NavigatorModel model;
    // No selection in list 1 counts as "not 0": the second pair of items.
    chooseAtLevel(model, 1, -1);
    EXPECT_EQ(model.LevelDigits1, "-1");
    EXPECT_EQ(model.lists[1].items, big5List({"認識", "行為"}));
    // The key "-10" matches no row: list 3 stays empty.
    chooseAtLevel(model, 2, 0);
    EXPECT_TRUE(model.lists[2].items.isEmpty());

    walk(model, {0, 0, 0, 3, 4});
    EXPECT_EQ(model.LevelDigits4, "11");
    // Levels 4 and 5 ignore positions outside their range and keep their digits.
    chooseAtLevel(model, 4, 4);
    EXPECT_EQ(model.LevelDigits4, "11");
    EXPECT_EQ(model.lists[4].items[0], big5("景象")) << "the kept digits choose the items";
    EXPECT_EQ(chooseAtLevel(model, 5, 8), "00011100");
    EXPECT_EQ(chooseAtLevel(model, 5, -1), "00011100");
}

TEST(Navigator, ItemTablesByKey) {
    EXPECT_EQ(velmora::itemsForKey(3, "11"), big5List({"能力", "經驗"}));
    EXPECT_EQ(velmora::itemsForKey(4, "011"), big5List({"衣食", "住行", "起居", "工作"}));
    EXPECT_EQ(velmora::itemsForKey(5, "11111"),
              big5List({"意向", "指揮", "革除", "限制", "武力", "占有", "傷害", "殺戮"}));
    EXPECT_TRUE(velmora::itemsForKey(4, "0000").isEmpty());
    EXPECT_TRUE(velmora::itemsForKey(5, "0000").isEmpty());
    EXPECT_TRUE(velmora::itemsForKey(3, "1").isEmpty());
}
