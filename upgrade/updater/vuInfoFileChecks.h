// The checks an information file must pass before the upgrade may ask the user anything.
//
// With public keys built in, the file must be signed by one of them, and only the signed part is
// read; every file of the upgrade must then carry a SHA-256. Recorded hashes and sizes must be well
// formed, and a file fetched over the network may not point at a local file.
#pragma once

#include "upgrade/signing/vuEd25519.h"
#include "upgrade/signing/vuFileDigest.h"
#include "upgrade/updater/vuUpdaterInfoFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace vu {

enum class InfoFileRefusal {
    None,
    Unsigned,        // keys are built in and the file carries no signature line
    BadSignature,    // a signature line that is malformed or does not match the content
    UnknownKey,      // signed by a key that is not built in
    BadHash,         // a recorded hash or size that is not well formed
    MissingHash,     // keys are built in and a file of the upgrade has no recorded hash
    LocalAddress,    // a "file:" address in an information file fetched over the network
    OtherProduct,    // "#product=" names another program (or a signed file names none)
    Expired,         // past its "#expires=" instant, or an expiry that is not a UTC instant
    NoComparedValue, // a signed file without the "#date=" or "#version=" the program compares
    KeysUnusable     // keys are built in but cannot be used: no signature can be checked
};

// The signature step. On success (None) `readable` is the text to read the keys from: the signed
// part when keys are trusted, the whole text when none are.
InfoFileRefusal CheckInfoFileSignature(std::string_view text,
                                       const std::vector<Ed25519PublicKey>& trusted,
                                       std::string& readable);

// The listed files, as the information file gives them, fetched from infoFileURL.
InfoFileRefusal CheckInfoFileEntries(std::string_view infoFileURL,
                                     const std::vector<InfoFileEntry>& entries);

// The files the upgrade will download (a handler may have changed the list): with keys built in,
// each needs a recorded hash.
InfoFileRefusal CheckUpgradeFiles(const std::vector<FileExpectation>& expectations,
                                  bool keysBuiltIn);

// A short English name of a refusal, for diagnostics and the command line.
const char* InfoFileRefusalText(InfoFileRefusal refusal);

} // namespace vu
