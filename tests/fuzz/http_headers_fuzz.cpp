// Header values of a response as the HTTP component reads them (dates, entity tags) and the
// addresses it is handed (from the information file, or a redirect). A date parses to a finite
// time within the calendar; the offset of a zone stays within a hundred hours; the validator of a
// response is one of the header values offered, trimmed; an address that cracks has a lower-case
// scheme, and for a network address a bare form without credentials that cracks again to the
// same scheme and port, without credentials.
#include "tests/fuzz/fuzz_check.h"
#include "upgrade/http/vuResumeRecord.h"
#include "upgrade/http/vuURLParts.h"
#include "upgrade/utils/vuHTTPDate.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

using namespace vu;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray value(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const TDateTime time = ParseHTTPDate(value);
    FUZZ_CHECK(std::isfinite(time));
    // Years 1 to 9999, widened by the zone and offset shifts.
    FUZZ_CHECK(time >= -693595 && time < 2958467);
    FUZZ_CHECK(std::fabs(ParseGMTOffset(value)) <= 100.0 / 24 + 100.0 / 1440);

    const qsizetype tab = value.indexOf('\t');
    const QByteArray etag = value.left(tab),
                     lastModified = tab < 0 ? QByteArray() : value.mid(tab + 1);
    const QByteArray validator = TvuResumeRecord::ValidatorOf(etag, lastModified);
    FUZZ_CHECK(validator == etag.trimmed() || validator == lastModified.trimmed());
    FUZZ_CHECK(validator == validator.trimmed());

    TvuURLParts parts;
    if (CrackURL(value, parts)) {
        FUZZ_CHECK(parts.Scheme == parts.Scheme.toLower());
        FUZZ_CHECK(!parts.BareURL.contains(' '));
    }
    // What goes to the network: the bare form reads again as the same place.
    if (CrackURL(value, parts) && (parts.Scheme == "http" || parts.Scheme == "https")) {
        TvuURLParts bare;
        FUZZ_CHECK(CrackURL(parts.BareURL, bare));
        FUZZ_CHECK(bare.Scheme == parts.Scheme && bare.Port == parts.Port && !bare.HasUserName &&
                   !bare.HasPassword);
    }
    return 0;
}
