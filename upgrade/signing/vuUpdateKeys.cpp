#include "upgrade/signing/vuBuiltInKeys.h"

namespace vu {

TvuUpdateKeys DecodeUpdateKeys(const std::vector<std::string_view>& texts) {
    TvuUpdateKeys set;
    for (std::string_view text : texts) {
        // A key is only of use when signatures can name it: its id needs a working digest.
        const auto key = ParsePublicKey(text);
        if (!key || KeyId(*key).size() != 8) {
            set.Unusable = true;
            continue;
        }
        set.Keys.push_back(*key);
    }
    return set;
}

} // namespace vu
