// libcrypto loaded on first use: not before, and a missing library verifies nothing. Each case
// runs in a fresh process, as the program does.
#include "vuCryptoLibrary.h"
#include "vuEd25519.h"
#include "vuFileDigest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace vu;

namespace {

// SHA-256 of "abc".
constexpr const char* kAbcDigest =
    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

// Ends the child process with 0 when the check held, with a message otherwise.
void finish(bool held, const char* what) {
    if (!held)
        std::fprintf(stderr, "failed: %s\n", what);
    std::exit(held ? 0 : 1);
}

void checkLoadedOnFirstUse() {
    if (CryptoLibraryLoaded())
        finish(false, "loaded before any call");
    if (Sha256Hex("abc") != kAbcDigest)
        finish(false, "digest through the loaded library");
    finish(CryptoLibraryLoaded() && CryptoLibraryError().empty(), "not loaded after first use");
}

void checkMissingLibraryVerifiesNothing() {
    SetCryptoLibraryFileForTesting("libcrypto-velmora-missing.so.99");
    // A valid key and signature (RFC 8032, test 1) are refused without the library.
    const auto key = ParsePublicKey("11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=");
    const auto signature = DecodeBase64(
        "5VZDAMNgrHKQhuLMgG6CioSHfx645dl02HPgZSJJAVVfuIIVkKM7rMYeOXAc+bRr0lv18FlbviRlUUFDjnoQCw==");
    const bool verified = key && signature && VerifyEd25519(*key, "", *signature);
    if (verified)
        finish(false, "a signature verified without the library");
    if (Sha256Hex("abc") == kAbcDigest)
        finish(false, "a digest computed without the library");
    if (Ed25519PrivateKey::Generate().Valid())
        finish(false, "a key generated without the library");
    finish(CryptoLibraryError().find("libcrypto-velmora-missing.so.99") != std::string::npos,
           "no reason given for the missing library");
}

TEST(CryptoLibrary, LoadedOnFirstUse) {
    EXPECT_EXIT(checkLoadedOnFirstUse(), testing::ExitedWithCode(0), "");
}

TEST(CryptoLibrary, MissingLibraryVerifiesNothing) {
    EXPECT_EXIT(checkMissingLibraryVerifiesNothing(), testing::ExitedWithCode(0), "");
}

} // namespace

int main(int argc, char** argv) {
    // Each check re-runs this program for itself, so no earlier call has loaded the library.
    testing::GTEST_FLAG(death_test_style) = "threadsafe";
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
