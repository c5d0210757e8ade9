// libcrypto loaded on first use: not before, and a missing library verifies nothing. Each case
// runs in a fresh process, as the program does.
#include "vuCryptoLibrary.h"
#include "vuEd25519.h"
#include "vuFileDigest.h"

#include "tests/support/fresh_process_check.h"

#include <gtest/gtest.h>

using namespace vu;
using vutest::FinishCheck;

namespace {

// SHA-256 of "abc".
constexpr const char* kAbcDigest =
    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

void checkLoadedOnFirstUse() {
    if (CryptoLibraryLoaded())
        FinishCheck(false, "loaded before any call");
    if (Sha256Hex("abc") != kAbcDigest)
        FinishCheck(false, "digest through the loaded library");
    FinishCheck(CryptoLibraryLoaded() && CryptoLibraryError().empty(),
                "not loaded after first use");
}

void checkMissingLibraryVerifiesNothing() {
    SetCryptoLibraryFileForTesting("libcrypto-velmora-missing.so.99");
    // A valid key and signature (RFC 8032, test 1) are refused without the library.
    const auto key = ParsePublicKey("11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=");
    const auto signature = DecodeBase64(
        "5VZDAMNgrHKQhuLMgG6CioSHfx645dl02HPgZSJJAVVfuIIVkKM7rMYeOXAc+bRr0lv18FlbviRlUUFDjnoQCw==");
    const bool verified = key && signature && VerifyEd25519(*key, "", *signature);
    if (verified)
        FinishCheck(false, "a signature verified without the library");
    if (Sha256Hex("abc") == kAbcDigest)
        FinishCheck(false, "a digest computed without the library");
    if (Ed25519PrivateKey::Generate().Valid())
        FinishCheck(false, "a key generated without the library");
    FinishCheck(CryptoLibraryError().find("libcrypto-velmora-missing.so.99") != std::string::npos,
                "no reason given for the missing library");
}

TEST(CryptoLibrary, LoadedOnFirstUse) {
    EXPECT_EXIT(checkLoadedOnFirstUse(), testing::ExitedWithCode(0), "");
}

TEST(CryptoLibrary, MissingLibraryVerifiesNothing) {
    EXPECT_EXIT(checkMissingLibraryVerifiesNothing(), testing::ExitedWithCode(0), "");
}

} // namespace
