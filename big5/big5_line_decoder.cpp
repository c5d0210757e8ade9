#include "big5/big5_line_decoder.h"

#include "big5/big5.h"

#include <QList>

#include <algorithm>

namespace velmora {
namespace {

bool isLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
bool isTrailByte(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE);
}

} // namespace

Big5LineDecoder::Big5LineDecoder() : pairs_(std::make_unique<std::array<Decoded, 0x10000>>()) {}

Big5LineDecoder::~Big5LineDecoder() = default;

const Big5LineDecoder::Decoded& Big5LineDecoder::decode(Decoded& entry, unsigned char lead,
                                                        unsigned char trail) {
    const char pair[2] = {char(lead), char(trail)};
    const QString text = fromBig5(QByteArray(pair, 2));
    const QByteArray utf8 = text.toUtf8();
    const bool oneCharacter = text.toUcs4().size() == 1 &&
                              text != QChar(QChar::ReplacementCharacter) &&
                              utf8.size() <= qsizetype(sizeof entry.bytes);
    if (oneCharacter) {
        std::copy(utf8.begin(), utf8.end(), entry.bytes);
        entry.length = std::uint8_t(utf8.size());
    } else {
        entry.length = kNoCharacter;
    }
    return entry;
}

void Big5LineDecoder::appendUtf8(QByteArrayView big5, QByteArray& utf8) {
    // A double-byte character takes at most four bytes in UTF-8, an ASCII byte one: the result
    // fits twice the input.
    const qsizetype start = utf8.size();
    utf8.resize(start + 2 * big5.size());
    char* out = utf8.data() + start;
    for (qsizetype i = 0; i < big5.size();) {
        const auto b = static_cast<unsigned char>(big5[i]);
        if (b < 0x80) {
            *out++ = char(b);
            ++i;
            continue;
        }
        const auto trail = i + 1 < big5.size() ? static_cast<unsigned char>(big5[i + 1]) : 0;
        if (isLeadByte(b) && isTrailByte(trail)) {
            Decoded& entry = (*pairs_)[(b << 8) | trail];
            const Decoded& d = entry.length == 0 ? decode(entry, b, trail) : entry;
            if (d.length != kNoCharacter) {
                out = std::copy_n(d.bytes, d.length, out);
                i += 2;
                continue;
            }
        }
        // Something only the full conversion knows how to show: the whole line goes there.
        utf8.truncate(start);
        utf8.append(fromBig5(big5.toByteArray()).toUtf8());
        return;
    }
    utf8.truncate(out - utf8.constData());
}

} // namespace velmora
