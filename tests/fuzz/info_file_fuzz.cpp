// The unsigned information file as the component reads it: the indexed reader must agree with a
// plain search of the lower-cased text for every key it is asked for, the date and expiry rules
// must read back what they write, and the release decision is always one with its reason (a
// refusal exactly when the verdict is Refused).
#include "tests/fuzz/fuzz_check.h"
#include "upgrade/updater/vuReleaseDecision.h"
#include "upgrade/updater/vuUpdaterInfoFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// The rules written as directly as possible: search the lower-cased copy for the marker.
struct Reference {
    std::string text, lower;
    explicit Reference(std::string t) : text(std::move(t)), lower(text) {
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
    }
    // Where the text after the first `marker` (in any case) starts; npos when there is none.
    std::size_t After(const std::string& marker) const {
        const std::size_t at = lower.find(marker);
        return at == std::string::npos ? at : at + marker.size();
    }
    std::string Value(const std::string& key) const {
        const std::size_t at = After("#" + key + "=");
        if (at == std::string::npos)
            return {};
        std::size_t end = at;
        while (end < text.size() && static_cast<unsigned char>(text[end]) >= 32)
            ++end;
        return text.substr(at, end - at);
    }
    std::string Block(const std::string& key) const {
        const std::size_t at = After("#" + key + "={");
        if (at == std::string::npos)
            return {};
        const std::size_t end = text.find('}', at);
        return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    }
    // "url", "url0", then the numbered keys from n + 1 on, with the hash and size of the same
    // number.
    std::vector<vu::InfoFileEntry> Entries() const {
        std::vector<vu::InfoFileEntry> entries;
        auto take = [&](const std::string& suffix) {
            const std::string url = Value("url" + suffix);
            if (!url.empty())
                entries.push_back({url, Value("sha256" + suffix), Value("size" + suffix)});
            return !url.empty();
        };
        take("");
        take("0");
        for (std::size_t n = entries.size() + 1; take(std::to_string(n)); ++n) {
        }
        return entries;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const vu::TvuInfoFileReader reader(text);
    const Reference reference(text);

    const std::vector<vu::InfoFileEntry> entries = reader.Entries();
    FUZZ_CHECK(entries == reference.Entries());
    const std::vector<std::string> files = reader.Files();
    FUZZ_CHECK(files.size() == entries.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        FUZZ_CHECK(files[i] == entries[i].Url);
    for (const char* key :
         {"version", "date", "method", "product", "expires", "channel", "rollout", "critical",
          "minversion", "rolloutdays", "url7", "sha2567", "size0", "signature"})
        FUZZ_CHECK(reader.Value(key) == reference.Value(key));
    FUZZ_CHECK(reader.Message() == reference.Block("message"));
    FUZZ_CHECK(reader.BlockValue("url") == reference.Block("url"));
    const std::string method = reference.Value("method");
    const int digit = method.empty() ? 0 : method[0] == '1' ? 1 : method[0] == '2' ? 2 : 0;
    FUZZ_CHECK(static_cast<int>(reader.Method()) == digit);

    // A date that reads is a real one, and writing it gives text that reads as the same date;
    // the file's date, and the whole text taken as a date.
    for (const std::string& written : {reader.Date(), text}) {
        const QDate date = vu::ParseInfoDate(written);
        if (date.isValid()) {
            FUZZ_CHECK(date.year() >= 1 && date.year() <= 9999);
            FUZZ_CHECK(vu::ParseInfoDate(vu::FormatVersionDate(date)) == date);
        }
        FUZZ_CHECK(vu::ReadInfoDate(written, QDate(2000, 1, 1)).isValid());
    }
    for (const std::string& written : {reader.Value("expires"), text}) {
        if (const auto expiry = vu::ParseExpiry(written)) {
            FUZZ_CHECK(expiry->isValid());
            const auto again = vu::ParseExpiry(vu::FormatExpiry(*expiry));
            FUZZ_CHECK(again && *again == *expiry);
        }
    }

    for (int variant = 0; variant < 4; ++variant) {
        vu::TvuInstallation installation;
        installation.ByNumber = variant & 1;
        installation.VersionNumber = "2006.6.12";
        installation.VersionDate = "06/12/2006";
        installation.Product = "example.velmora.Velmora";
        installation.Signed = variant & 2;
        installation.Automatic = variant >= 2;
        installation.Draw = 1 + static_cast<int>(size % 100);
        installation.Skipped = variant == 3 ? reader.Version() : std::string();
        installation.Today = QDate(2026, 12, 9);
        installation.Now = QDateTime(installation.Today, QTime(12, 0), Qt::UTC);
        const vu::ReleaseDecision decision = vu::DecideRelease(reader, installation);
        FUZZ_CHECK((decision.Verdict == vu::ReleaseVerdict::Refused) ==
                   (decision.Refusal != vu::InfoFileRefusal::None));
        FUZZ_CHECK(decision.RolloutPercent >= 0 && decision.RolloutPercent <= 100);
        FUZZ_CHECK(!decision.Reason.empty());
    }
    return 0;
}
