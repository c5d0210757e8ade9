#include "big5/big5.h"

#include <QHash>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using velmora::fromBig5;
using velmora::toBig5;

namespace {

QByteArray hex(const char* digits) {
    return QByteArray::fromHex(digits);
}
QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

TEST(Big5, MapsCodePage950AndItsExtensions) {
    struct Case {
        const char* big5;
        const char* text;
    } cases[] = {
        {"be65", "頡"}, {"a4e9", "日"}, {"a4a4", "中"},       {"a140", "\u3000"},
        {"f9f9", "═"},  {"a3e1", "€"},  {"f9d6f9dc", "碁嫺"}, {"41204a", "A J"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fromBig5(hex(c.big5)), u(c.text)) << c.big5;
        EXPECT_EQ(toBig5(u(c.text)), hex(c.big5)) << c.text;
    }
    // User-defined areas stay private-use code points, as on the system code page.
    EXPECT_EQ(fromBig5(hex("8140")), QString(QChar(0xEEB8)));
    EXPECT_EQ(fromBig5(hex("fa40")), QString(QChar(0xE000)));
    EXPECT_EQ(toBig5(QString(QChar(0xEEB8))), hex("8140"));
}

TEST(Big5, EtenBlockShowsAndTypesAsRealCharacters) {
    EXPECT_EQ(fromBig5(hex("c6a6")), u("⑥"));
    EXPECT_EQ(fromBig5(hex("c6a1")), u("①"));
    EXPECT_EQ(toBig5(u("⑥")), hex("c6a6"));
    EXPECT_EQ(toBig5(u("①")), hex("c6a1"));
    // Last character of the block, and ordinary text around ETEN characters.
    const QString last = fromBig5(hex("c875"));
    ASSERT_EQ(last.size(), 1);
    EXPECT_FALSE(last[0].category() == QChar::Other_PrivateUse);
    EXPECT_EQ(toBig5(last), hex("c875"));
    EXPECT_EQ(fromBig5(hex("a4e9c6a641be65")), u("日⑥A頡"));
    EXPECT_EQ(toBig5(u("日⑥A頡")), hex("a4e9c6a641be65"));
    // Just outside the block the system code page holds: private use again.
    EXPECT_EQ(fromBig5(hex("c876"))[0].category(), QChar::Other_PrivateUse);

    // Radicals of the block without a character of their own keep their private-use code
    // points both ways instead of turning into U+FFFD.
    for (const char* radical : {"c6cf", "c6d3", "c6d5", "c6d7", "c6de", "c6df"}) {
        const QString text = fromBig5(hex(radical));
        ASSERT_EQ(text.size(), 1) << radical;
        EXPECT_EQ(text[0].category(), QChar::Other_PrivateUse) << radical;
        EXPECT_EQ(toBig5(text), hex(radical)) << radical;
    }

    EXPECT_TRUE(velmora::isEtenBlock(0xC6, 0xA1));
    EXPECT_TRUE(velmora::isEtenBlock(0xC7, 0x40));
    EXPECT_TRUE(velmora::isEtenBlock(0xC8, 0x75));
    EXPECT_FALSE(velmora::isEtenBlock(0xC6, 0x7E));
    EXPECT_FALSE(velmora::isEtenBlock(0xC8, 0x76));
    EXPECT_FALSE(velmora::isEtenBlock(0xC7, 0x80));
}

TEST(Big5, RefusesCharactersWithoutAForm) {
    EXPECT_FALSE(toBig5(u("😀")).has_value());
    EXPECT_FALSE(toBig5(u("ä")).has_value());
    EXPECT_FALSE(toBig5(u("頡ä")).has_value()) << "one bad character refuses the whole text";
    EXPECT_FALSE(toBig5(u("时")).has_value()) << "simplified form outside the code page";
    // The private-use code point that the system code page puts at C6A6 is not what C6A6
    // decodes to here, so it is refused rather than silently turned into ⑥.
    EXPECT_FALSE(toBig5(QString(QChar(0xF6B6))).has_value());
    EXPECT_EQ(toBig5(QString()), QByteArray());
}

TEST(Big5, AFailedConversionLeavesTheNextOnesUnharmed) {
    // The converters are kept open between calls; a refusal must not stick to them.
    auto convertAfterFailures = [] {
        for (int i = 0; i < 3; ++i) {
            if (toBig5(u("😀")) || toBig5(u("頡ä")))
                return false;
            if (toBig5(u("頡")) != hex("be65") || fromBig5(hex("be65")) != u("頡"))
                return false;
            if (toBig5(u("⑥")) != hex("c6a6"))
                return false;
        }
        return true;
    };
    EXPECT_TRUE(convertAfterFailures());
    // Each thread keeps converters of its own.
    bool inOtherThread = false;
    std::thread other([&] { inOtherThread = convertAfterFailures(); });
    other.join();
    EXPECT_TRUE(inOtherThread);
}

TEST(Big5, ConvertersOpenOnFirstUseInEachThread) {
    // A thread's first conversion may be one that needs the ETEN block's converters alone.
    auto firstConversion = [](const std::function<bool()>& convert) {
        bool openedBefore = true;
        bool converted = false;
        bool openedAfter = false;
        std::thread fresh([&] {
            openedBefore = velmora::big5ConvertersOpened();
            converted = convert();
            openedAfter = velmora::big5ConvertersOpened();
        });
        fresh.join();
        EXPECT_FALSE(openedBefore);
        EXPECT_TRUE(converted);
        EXPECT_TRUE(openedAfter);
    };
    firstConversion([] { return fromBig5(hex("c6a6")) == u("⑥"); });
    firstConversion([] { return toBig5(u("⑥")) == hex("c6a6"); });
    firstConversion([] { return fromBig5(hex("41c6a6be65")) == u("A⑥頡"); });
    firstConversion([] { return toBig5(u("頡⑥")) == hex("be65c6a6"); });
    firstConversion([] { return !toBig5(u("😀")).has_value(); });
}

TEST(Big5, MalformedBytesDecodeToReplacementCharacters) {
    EXPECT_EQ(fromBig5(hex("41a4")), u("A\uFFFD")) << "a lead byte that ends the text";
    EXPECT_EQ(fromBig5(hex("a4")), u("\uFFFD"));
    EXPECT_EQ(fromBig5(hex("a4a4a4")), u("中\uFFFD"));
    EXPECT_TRUE(fromBig5(QByteArray()).isEmpty());
}

TEST(Big5, EveryDoubleByteCharacterRoundTrips) {
    // Each lead/trail pair that decodes to one character encodes back to the same two bytes, so
    // text typed, stored and shown never changes. The code page has a few characters at two
    // positions; those encode to the one the system code page prefers.
    const QHash<QByteArray, QByteArray> twins = {
        {hex("a2a4"), hex("f9f9")}, {hex("a2a5"), hex("f9e9")}, {hex("a2a6"), hex("f9ea")},
        {hex("a2a7"), hex("f9eb")}, {hex("a2cc"), hex("a451")}, {hex("a2ce"), hex("a4ca")},
        {hex("f9fa"), hex("a27e")}, {hex("f9fb"), hex("a2a1")}, {hex("f9fc"), hex("a2a2")},
        {hex("f9fd"), hex("a2a3")},
    };
    int characters = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail > 0x7E && trail < 0xA1)
                continue;
            QByteArray bytes;
            bytes += char(lead);
            bytes += char(trail);
            const QString text = fromBig5(bytes);
            if (text.isEmpty() || text.contains(QChar(QChar::ReplacementCharacter)))
                continue;
            ++characters;
            EXPECT_EQ(toBig5(text), twins.value(bytes, bytes)) << bytes.toHex().constData();
        }
    }
    EXPECT_GT(characters, 19000);
}
