// Signatures of upgrade information files.
//
// A signed information file ends with the line
//     #signature=ed25519:<key id>:<base64 signature>
// where the signature covers every byte of the file before that line (its own line break
// included). Only line breaks may follow the signature line. The key id names the public key
// (KeyId): the first 8 hex digits of the SHA-256 of its raw bytes.
#pragma once

#include "upgrade/signing/vuEd25519.h"

#include <string>
#include <string_view>
#include <vector>

namespace vu {

enum class InfoFileSignature {
    Valid,      // signed by one of the trusted keys
    Missing,    // the last line is not a signature line
    Malformed,  // a signature line that does not read as ed25519:<8 hex>:<base64 of 64 bytes>
    UnknownKey, // signed by a key that is not trusted
    Invalid     // the signature does not match the signed bytes
};

struct InfoFileVerification {
    InfoFileSignature Result = InfoFileSignature::Missing;
    // The bytes the signature covers (everything before the signature line); the whole text when
    // there is no signature line.
    std::string_view SignedText;
    // The key id named by the signature line, when it could be read.
    std::string KeyId;
};

// Looks for the signature line and checks it against the trusted keys. The returned view points
// into text.
InfoFileVerification VerifyInfoFile(std::string_view text,
                                    const std::vector<Ed25519PublicKey>& trusted);

// The signature line for body (without its line end), signed with key; empty when signing fails.
std::string InfoFileSignatureLine(std::string_view body, const Ed25519PrivateKey& key);

// A short English description of a result, for the publisher's tool and diagnostics.
const char* SignatureResultText(InfoFileSignature result);

} // namespace vu
