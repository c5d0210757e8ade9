#include "big5/big5.h"
#include "big5/big5_line_decoder.h"
#include "concepts/concept_table.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using velmora::Big5LineDecoder;
using velmora::fromBig5;

namespace {

QByteArray decodedBy(Big5LineDecoder& decoder, const QByteArray& big5) {
    QByteArray out;
    decoder.appendUtf8(big5, out);
    return out;
}

QByteArray pairOf(int value) {
    QByteArray pair;
    pair += char(value >> 8);
    pair += char(value & 0xFF);
    return pair;
}

} // namespace

TEST(Big5LineDecoder, EveryTwoByteValueAsTheFullConversionShowsIt) {
    Big5LineDecoder decoder;
    // Twice over, so that the second round answers from what the first remembered.
    for (int round = 0; round < 2; ++round)
        for (int value = 0; value < 0x10000; ++value) {
            const QByteArray alone = pairOf(value);
            const QByteArray framed = "a" + alone + "b";
            ASSERT_EQ(decodedBy(decoder, alone), fromBig5(alone).toUtf8()) << std::hex << value;
            ASSERT_EQ(decodedBy(decoder, framed), fromBig5(framed).toUtf8()) << std::hex << value;
        }
}

TEST(Big5LineDecoder, LinesOfRowsAndOfMixedBytes) {
    Big5LineDecoder decoder;
    for (int v = 0; v < velmora::kConceptRowCount; ++v)
        ASSERT_EQ(decodedBy(decoder, velmora::conceptRow(v)),
                  fromBig5(velmora::conceptRow(v)).toUtf8())
            << v;
    // Random lines of ASCII, characters, stray bytes and lone lead bytes, some at the end.
    QRandomGenerator random(13);
    for (int line = 0; line < 20000; ++line) {
        QByteArray big5;
        const int length = int(random.bounded(12));
        for (int k = 0; k < length; ++k) {
            switch (random.bounded(4)) {
            case 0:
                big5 += char(random.bounded(0x80));
                break;
            case 1:
                big5 += char(0x80 + random.bounded(0x80));
                break;
            default:
                big5 += pairOf(0x8140 + int(random.bounded(0x10000 - 0x8140)));
            }
        }
        ASSERT_EQ(decodedBy(decoder, big5), fromBig5(big5).toUtf8()) << big5.toHex().constData();
    }
}

TEST(Big5LineDecoder, AppendsAfterWhatTheBufferHolds) {
    Big5LineDecoder decoder;
    QByteArray out = "kept|";
    decoder.appendUtf8(velmora::toBig5("頡").value(), out);
    EXPECT_EQ(out, QByteArray("kept|頡"));
    // A line that needs the full conversion (a lone lead byte at its end) keeps it too.
    decoder.appendUtf8(QByteArray("x\xA4"), out);
    EXPECT_EQ(out, "kept|頡" + fromBig5(QByteArray("x\xA4")).toUtf8());
}
