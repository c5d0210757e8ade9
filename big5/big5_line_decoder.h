#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>
#include <memory>

// Converts Big5 lines to UTF-8 with exactly the result of fromBig5(line).toUtf8(), for callers
// that convert many lines: each double-byte character is decoded once and remembered, ASCII is
// copied as it is. A line with anything else (a stray byte, a pair that does not decode to one
// character) goes through fromBig5 whole. Not shared between threads.
namespace velmora {

class Big5LineDecoder {
public:
    Big5LineDecoder();
    ~Big5LineDecoder();

    // Appends the UTF-8 form of `big5` to `utf8`.
    void appendUtf8(QByteArrayView big5, QByteArray& utf8);

private:
    // The UTF-8 bytes of one double-byte character; length 0 while not yet decoded, kNoCharacter
    // for a pair that does not decode to exactly one character.
    struct Decoded {
        std::uint8_t length = 0;
        char bytes[4] = {};
    };
    static constexpr std::uint8_t kNoCharacter = 0xFF;

    // Fills the entry of the pair lead, trail on its first use.
    static const Decoded& decode(Decoded& entry, unsigned char lead, unsigned char trail);

    std::unique_ptr<std::array<Decoded, 0x10000>> pairs_;
};

} // namespace velmora
