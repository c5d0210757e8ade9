// A response's header block as the transfer receives it, line by line, and the readings of its
// values (the length, the range of a partial answer, the realm). The status is -1, 0 or three
// digits; a complete block reads back as its status line and header lines, each ending in CR LF,
// then CR LF; a header found has no line end and no surrounding blanks; a length fits 32 bits
// and reads back; a range is ordered and its total, when given, is its end; a realm is no longer
// than the header it came from.
#include "tests/fuzz/fuzz_check.h"
#include "upgrade/http/vuResponseHeaders.h"

#include <cstddef>
#include <cstdint>

using namespace vu;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    TvuResponseHeaders headers;
    qsizetype start = 0;
    while (start < input.size()) {
        qsizetype end = input.indexOf('\n', start);
        end = end < 0 ? input.size() : end + 1;
        const TvuResponseHeaders::Line kind = headers.Add(input.mid(start, end - start));
        FUZZ_CHECK(kind != TvuResponseHeaders::Line::End || headers.Complete());
        start = end;
    }
    const qint32 status = headers.Status();
    FUZZ_CHECK(status == -1 || status == 0 || (status >= 100 && status <= 999));
    const QByteArray raw = headers.Raw();
    FUZZ_CHECK(raw.isEmpty() == (status == -1));
    FUZZ_CHECK(raw.isEmpty() || (raw.startsWith("HTTP/") && raw.endsWith("\r\n\r\n")));

    for (const char* name : {"Content-Length", "Content-Range", "WWW-Authenticate", "Location"}) {
        QByteArray value;
        if (!headers.Query(name, value))
            continue;
        FUZZ_CHECK(value == value.trimmed() && !value.contains('\n') && !value.contains('\r'));
        FUZZ_CHECK(raw.contains(value));
    }

    // The readings, on every line of the input as a header value.
    for (const QByteArray& value : input.split('\n')) {
        quint32 length = 0;
        if (ParseContentLength(value, length)) {
            quint32 again = 0;
            FUZZ_CHECK(ParseContentLength(QByteArray::number(length), again) && again == length);
        }
        TvuContentRange range;
        if (ParseContentRange(value, range)) {
            FUZZ_CHECK(range.First <= range.Last && range.Last + 1 > range.Last);
            FUZZ_CHECK(!range.HasTotal || range.Total == range.Last + 1);
        }
        FUZZ_CHECK(RealmOf(value).size() <= value.size());
    }
    return 0;
}
