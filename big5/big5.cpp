#include "big5/big5.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace velmora {
namespace {

// Qt's code page 950 converter; the ETEN block goes through the Hong Kong converter, which
// maps it to the real characters.
constexpr const char* kCodePage950 = "windows-950";
constexpr const char* kEtenCodec = "Big5-HKSCS";

// Opening a converter by name searches ICU's tables and costs far more than a conversion, so
// each thread opens each converter once and restarts it before every use. Restarting clears the
// count of failed characters too, which resetState() alone keeps for ICU converters.
template <typename Converter> class Reusable : public Converter {
public:
    explicit Reusable(const char* name) : Converter(name, QStringConverter::Flag::Stateless) {}
    Converter& restarted() {
        this->resetState();
        this->state.invalidChars = 0;
        return *this;
    }
};

// The code page 950 pair serves every conversion; the Hong Kong pair is opened only when a text
// reaches the ETEN block, which most never do.
struct Converters {
    Reusable<QStringEncoder> cp950Encoder{kCodePage950};
    Reusable<QStringDecoder> cp950Decoder{kCodePage950};
    std::optional<Reusable<QStringEncoder>> etenEncoder;
    std::optional<Reusable<QStringDecoder>> etenDecoder;
};

// The Hong Kong converter in `slot`, opened on its first use and restarted.
template <typename Converter> Converter& etenRestarted(std::optional<Reusable<Converter>>& slot) {
    if (!slot)
        slot.emplace(kEtenCodec);
    return slot->restarted();
}

thread_local bool convertersOpened = false;

Converters& converters() {
    thread_local Converters perThread;
    convertersOpened = true;
    return perThread;
}

bool isLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
bool isTrailByte(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE);
}

// Length in bytes of the character starting at big5[i]: 2 for a lead byte followed by a trail
// byte, 1 otherwise.
qsizetype charLength(const QByteArray& big5, qsizetype i) {
    const auto lead = static_cast<unsigned char>(big5[i]);
    if (isLeadByte(lead) && i + 1 < big5.size() &&
        isTrailByte(static_cast<unsigned char>(big5[i + 1])))
        return 2;
    return 1;
}

bool startsEtenChar(const QByteArray& big5, qsizetype i) {
    return charLength(big5, i) == 2 && isEtenBlock(static_cast<unsigned char>(big5[i]),
                                                   static_cast<unsigned char>(big5[i + 1]));
}

bool containsEtenChar(const QByteArray& big5) {
    for (qsizetype i = 0; i < big5.size(); i += charLength(big5, i))
        if (startsEtenChar(big5, i))
            return true;
    return false;
}

// Encodes one code point (one or two UTF-16 units); no value when it has no form.
std::optional<QByteArray> encodeOne(QStringView unit) {
    QStringEncoder& cp950 = converters().cp950Encoder.restarted();
    QByteArray bytes = cp950(unit);
    if (!cp950.hasError()) {
        // Private-use code points that code page 950 puts into the ETEN block are, as a rule,
        // not what those bytes decode to here; refusing them keeps every conversion reversible.
        if (containsEtenChar(bytes) && fromBig5(bytes) != unit)
            return std::nullopt;
        return bytes;
    }
    QStringEncoder& eten = etenRestarted(converters().etenEncoder);
    bytes = eten(unit);
    if (eten.hasError() || bytes.size() != 2 ||
        !isEtenBlock(static_cast<unsigned char>(bytes[0]), static_cast<unsigned char>(bytes[1])))
        return std::nullopt;
    return bytes;
}

} // namespace

bool big5ConvertersOpened() {
    return convertersOpened;
}

bool isEtenBlock(unsigned char lead, unsigned char trail) {
    if (!isTrailByte(trail))
        return false;
    if (lead == 0xC6)
        return trail >= 0xA1;
    if (lead == 0xC7)
        return true;
    if (lead == 0xC8)
        return trail >= 0x40 && trail <= 0x75;
    return false;
}

QString fromBig5(const QByteArray& big5) {
    Converters& all = converters();
    QStringDecoder& cp950 = all.cp950Decoder.restarted();
    QString out;
    out.reserve(big5.size());
    // Runs of ordinary bytes go to the code page 950 decoder in one piece; each ETEN character
    // goes to the other one.
    qsizetype runStart = 0;
    auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            out += cp950(QByteArrayView(big5).sliced(runStart, end - runStart));
    };
    qsizetype i = 0;
    qsizetype lastLength = 0;
    while (i < big5.size()) {
        if (startsEtenChar(big5, i)) {
            flushRun(i);
            // Six radicals of the block have no character of their own in the Hong Kong
            // table; they keep the system code page's private-use code points.
            QStringDecoder& eten = etenRestarted(all.etenDecoder);
            const QString character = eten(QByteArrayView(big5).sliced(i, 2));
            out += character == QChar(QChar::ReplacementCharacter) || character.isEmpty()
                       ? cp950(QByteArrayView(big5).sliced(i, 2))
                       : character;
            runStart = i + 2;
        }
        lastLength = charLength(big5, i);
        i += lastLength;
    }
    // The stateless decoder drops a lead byte that ends the text; show it as U+FFFD instead.
    const bool endsInLoneLead = lastLength == 1 && runStart < big5.size() &&
                                isLeadByte(static_cast<unsigned char>(big5.back()));
    flushRun(endsInLoneLead ? big5.size() - 1 : big5.size());
    if (endsInLoneLead)
        out += QChar(QChar::ReplacementCharacter);
    return out;
}

std::optional<QByteArray> toBig5(const QString& text) {
    // Common case first: the whole text in one pass, accepted when nothing failed and nothing
    // fell into the ETEN block.
    {
        QStringEncoder& cp950 = converters().cp950Encoder.restarted();
        QByteArray bytes = cp950(text);
        if (!cp950.hasError() && !containsEtenChar(bytes))
            return bytes;
    }
    QByteArray out;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len =
            (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2
                                                                                               : 1;
        const auto one = encodeOne(QStringView(text).sliced(i, len));
        if (!one)
            return std::nullopt;
        out += *one;
        i += len;
    }
    return out;
}

std::optional<QByteArray> toBig5(const char* utf8) {
    return toBig5(QString::fromUtf8(utf8));
}

} // namespace velmora
