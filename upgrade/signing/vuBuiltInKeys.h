// The public keys built into the program (the build option VELMORA_UPDATE_KEYS). When there is
// at least one, only information files signed by one of them are accepted, and every file they
// list must carry a SHA-256.
#pragma once

#include "vuEd25519.h"

#include <vector>

namespace vu {

const std::vector<Ed25519PublicKey>& BuiltInUpdateKeys();

} // namespace vu
