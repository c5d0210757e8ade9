// The public keys built into the program (the build option VELMORA_UPDATE_KEYS). When there is
// at least one, only information files signed by one of them are accepted, and every file they
// list must carry a SHA-256.
#pragma once

#include "upgrade/signing/vuEd25519.h"

#include <initializer_list>
#include <string_view>
#include <vector>

namespace vu {

// Keys as configured. A configured key that cannot be used (its text does not decode to a key,
// or its id cannot be computed because no digest can be) leaves nothing that could check a
// signature: the set is then Unusable and every upgrade is refused, never read unsigned.
struct TvuUpdateKeys {
    TvuUpdateKeys() = default;
    TvuUpdateKeys(std::initializer_list<Ed25519PublicKey> keys) : Keys(keys) {}

    std::vector<Ed25519PublicKey> Keys;
    bool Unusable = false;
};

TvuUpdateKeys DecodeUpdateKeys(const std::vector<std::string_view>& texts);

const TvuUpdateKeys& BuiltInUpdateKeys();

} // namespace vu
