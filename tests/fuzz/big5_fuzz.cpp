// Big5 text as the program reads it (saved reports, its own data) and Unicode text it is given
// (the command line). Decoding never fails; a decoded text that encodes again decodes to itself;
// the line decoder gives exactly what decoding the line whole gives; text that encodes decodes
// back to itself.
#include "big5/big5.h"
#include "big5/big5_line_decoder.h"
#include "tests/fuzz/fuzz_check.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QString text = velmora::fromBig5(bytes);
    if (const auto again = velmora::toBig5(text))
        FUZZ_CHECK(velmora::fromBig5(*again) == text);
    velmora::Big5LineDecoder decoder;
    QByteArray utf8 = "kept";
    decoder.appendUtf8(bytes, utf8);
    FUZZ_CHECK(utf8 == "kept" + text.toUtf8());

    const QString unicode = QString::fromUtf8(bytes);
    if (const auto encoded = velmora::toBig5(unicode))
        FUZZ_CHECK(velmora::fromBig5(*encoded) == unicode);
    else
        FUZZ_CHECK(!unicode.isEmpty());
    return 0;
}
