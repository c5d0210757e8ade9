// Ed25519 signatures of information files, base64 and file digests.
#include "upgrade/signing/vuBuiltInKeys.h"
#include "upgrade/signing/vuEd25519.h"
#include "upgrade/signing/vuFileDigest.h"
#include "upgrade/signing/vuSignedInfoFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using namespace vu;

// RFC 8032, section 7.1, test 1: the empty message.
constexpr const char* kRfcPublicKey = "11qYAYKxCrfVS/7TyWQHOg7hcvPapiMlrwIaaPcHURo=";
constexpr const char* kRfcSignature =
    "5VZDAMNgrHKQhuLMgG6CioSHfx645dl02HPgZSJJAVVfuIIVkKM7rMYeOXAc+bRr0lv18FlbviRlUUFDjnoQCw==";

TEST(Base64, RoundTripsAndRefusesAnythingNotStrict) {
    for (std::string bytes : {std::string(), std::string("f"), std::string("fo"),
                              std::string("foo"), std::string("\0\xff\x10\x80", 4)})
        EXPECT_EQ(DecodeBase64(EncodeBase64(bytes)), bytes);
    EXPECT_EQ(DecodeBase64("Zm9vYg=="), "foob");
    for (const char* garbage : {"Zm9", "Zm9vY", "Zm 9v", "Zm9v\n", "Zm9v====", "Z===", "Zm9-",
                                "Zm9_", "Zg=a", "Zh==", "=Zm9"})
        EXPECT_FALSE(DecodeBase64(garbage).has_value()) << garbage;
}

TEST(Ed25519, PublishedTestVectorAndKeyId) {
    const auto key = ParsePublicKey(kRfcPublicKey);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(KeyId(*key), "21fe31df");
    const std::string signature = *DecodeBase64(kRfcSignature);
    EXPECT_TRUE(VerifyEd25519(*key, "", signature));
    EXPECT_FALSE(VerifyEd25519(*key, "x", signature));
    EXPECT_FALSE(VerifyEd25519(*key, "", signature.substr(0, 63)));
    // Public keys must be exactly 32 bytes.
    EXPECT_FALSE(ParsePublicKey(EncodeBase64(std::string(31, 'a'))).has_value());
    EXPECT_FALSE(ParsePublicKey(EncodeBase64(std::string(33, 'a'))).has_value());
}

// Configured keys are used all or not at all: one that does not decode makes the whole set
// unusable instead of leaving fewer keys (or none, which would mean "read unsigned").
TEST(UpdateKeys, AnyKeyThatCannotBeUsedMakesTheSetUnusable) {
    // Passes the build's format check (44 characters, base64 letters, "="), yet its last letter
    // sets bits that a 32-byte key leaves 0.
    const std::string looksRight = std::string(kRfcPublicKey).replace(42, 1, "p");
    // Named, so that the views of the table below outlive the statement that builds it.
    const std::string tooShort = EncodeBase64(std::string(31, 'a'));
    const struct {
        std::vector<std::string_view> texts;
        std::size_t keys;
        bool unusable;
    } cases[] = {
        {{}, 0, false},
        {{kRfcPublicKey}, 1, false},
        {{looksRight}, 0, true},
        {{kRfcPublicKey, looksRight}, 1, true},
        {{"", kRfcPublicKey}, 1, true},
        {{tooShort}, 0, true},
    };
    for (const auto& c : cases) {
        const TvuUpdateKeys set = DecodeUpdateKeys(c.texts);
        EXPECT_EQ(set.Keys.size(), c.keys) << c.texts.size();
        EXPECT_EQ(set.Unusable, c.unusable) << c.texts.size();
    }
}

TEST(Ed25519, GeneratedKeySignsAndSurvivesPem) {
    const Ed25519PrivateKey key = Ed25519PrivateKey::Generate();
    ASSERT_TRUE(key.Valid());
    const Ed25519PrivateKey again = Ed25519PrivateKey::FromPem(key.ToPem());
    ASSERT_TRUE(again.Valid());
    ASSERT_EQ(key.PublicKey(), again.PublicKey());
    const std::string signature = again.Sign("message");
    EXPECT_TRUE(VerifyEd25519(*key.PublicKey(), "message", signature));
    EXPECT_FALSE(Ed25519PrivateKey::FromPem("not a key").Valid());
    // Two fresh keys differ.
    EXPECT_NE(Ed25519PrivateKey::Generate().PublicKey(), key.PublicKey());
}

class SignedInfoFile : public ::testing::Test {
protected:
    Ed25519PrivateKey first = Ed25519PrivateKey::Generate();
    Ed25519PrivateKey second = Ed25519PrivateKey::Generate();
    Ed25519PrivateKey stranger = Ed25519PrivateKey::Generate();
    std::vector<Ed25519PublicKey> trusted{*first.PublicKey(), *second.PublicKey()};
    const std::string body =
        "#date=07/01/2006\n#url=http://h/velmora\n#sha256=" + std::string(64, 'a') +
        "\n#size=10\n#message={Hi}\n";

    std::string SignedBy(const Ed25519PrivateKey& key, const std::string& text) const {
        return text + InfoFileSignatureLine(text, key) + "\n";
    }
};

TEST_F(SignedInfoFile, ValidByEitherTrustedKey) {
    for (const Ed25519PrivateKey* key : {&first, &second}) {
        const std::string text = SignedBy(*key, body);
        const InfoFileVerification v = VerifyInfoFile(text, trusted);
        EXPECT_EQ(v.Result, InfoFileSignature::Valid);
        EXPECT_EQ(v.SignedText, body);
        EXPECT_EQ(v.KeyId, KeyId(*key->PublicKey()));
    }
    // Line ends after the signature line, CR LF files and a missing final line end are fine.
    EXPECT_EQ(VerifyInfoFile(SignedBy(first, body) + "\r\n\n", trusted).Result,
              InfoFileSignature::Valid);
    std::string crlf = "#date=07/01/2006\r\n#url=http://h/a\r\n";
    EXPECT_EQ(VerifyInfoFile(crlf + InfoFileSignatureLine(crlf, first), trusted).Result,
              InfoFileSignature::Valid);
}

TEST_F(SignedInfoFile, EveryChangedByteBeforeTheSignatureLineIsDetected) {
    const std::string text = SignedBy(first, body);
    for (std::size_t i = 0; i < body.size(); ++i) {
        std::string changed = text;
        changed[i] = static_cast<char>(changed[i] ^ 0x01);
        // Changing the line break before the signature line joins the two lines: then there is
        // no signature line at all.
        EXPECT_EQ(VerifyInfoFile(changed, trusted).Result,
                  i + 1 == body.size() ? InfoFileSignature::Missing : InfoFileSignature::Invalid)
            << "byte " << i;
    }
    // Added or removed bytes too.
    EXPECT_EQ(VerifyInfoFile("\n" + text, trusted).Result, InfoFileSignature::Invalid);
    EXPECT_EQ(VerifyInfoFile(text.substr(1), trusted).Result, InfoFileSignature::Invalid);
}

TEST_F(SignedInfoFile, RefusedWhenUnsignedStrangeOrMalformed) {
    EXPECT_EQ(VerifyInfoFile(body, trusted).Result, InfoFileSignature::Missing);
    EXPECT_EQ(VerifyInfoFile("", trusted).Result, InfoFileSignature::Missing);
    EXPECT_EQ(VerifyInfoFile(SignedBy(stranger, body), trusted).Result,
              InfoFileSignature::UnknownKey);
    EXPECT_EQ(VerifyInfoFile(SignedBy(first, body), {}).Result, InfoFileSignature::UnknownKey);
    // Anything after the signature line, even a comment, leaves the file unsigned: those bytes
    // would not be covered.
    EXPECT_EQ(VerifyInfoFile(SignedBy(first, body) + "#url2=http://evil/x\n", trusted).Result,
              InfoFileSignature::Missing);

    const std::string good = InfoFileSignatureLine(body, first);
    const std::string id = KeyId(*first.PublicKey());
    const std::string sig = good.substr(good.rfind(':') + 1);
    for (const std::string& line :
         {"#signature=ed25519:" + id + ":" + sig.substr(0, 40) + "!!" + sig.substr(42),
          "#signature=ed25519:" + id + ":" + sig.substr(4), "#signature=ed25519:" + id + ":",
          "#signature=rsa:" + id + ":" + sig, "#signature=ed25519:" + id.substr(1) + ":" + sig,
          "#signature=ed25519:" + sig, "#signature=ed25519:" + id + ":" + sig + " "})
        EXPECT_EQ(VerifyInfoFile(body + line + "\n", trusted).Result, InfoFileSignature::Malformed)
            << line;
    // A valid signature with a changed key id names no trusted key.
    const std::string otherId = id == "00000000" ? "11111111" : "00000000";
    EXPECT_EQ(
        VerifyInfoFile(body + "#signature=ed25519:" + otherId + ":" + sig + "\n", trusted).Result,
        InfoFileSignature::UnknownKey);
}

class FileCheckTest : public ::testing::Test {
protected:
    std::filesystem::path dir;
    void SetUp() override {
        char pattern[] = "/tmp/vu_digest_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Write(const std::string& name, const std::string& content) {
        const auto path = dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }
};

TEST_F(FileCheckTest, DigestAndChecks) {
    // SHA-256 of "abc" (FIPS 180-2).
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const std::string path = Write("a", "abc");
    EXPECT_EQ(DigestFile(path)->Sha256, abc);
    EXPECT_EQ(DigestFile(path)->Size, 3u);
    // Larger than one read.
    const std::string big(200000, 'x');
    EXPECT_EQ(DigestFile(Write("big", big))->Sha256, Sha256Hex(big));

    EXPECT_EQ(CheckFile(path, {abc, "3"}), FileCheck::Match);
    EXPECT_EQ(CheckFile(path, {abc, ""}), FileCheck::Match);
    EXPECT_EQ(CheckFile(path, {"", "3"}), FileCheck::Match);
    std::string upper = abc;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(c));
    EXPECT_EQ(CheckFile(path, {upper, "3"}), FileCheck::Match);
    EXPECT_EQ(CheckFile(path, {abc, "4"}), FileCheck::SizeMismatch);
    EXPECT_EQ(CheckFile(path, {Sha256Hex("abd"), "3"}), FileCheck::HashMismatch);
    EXPECT_EQ(CheckFile((dir / "missing").string(), {abc, ""}), FileCheck::Unreadable);
    for (const FileExpectation& bad :
         {FileExpectation{abc.substr(1), ""}, FileExpectation{abc.substr(1) + "g", ""},
          FileExpectation{abc, "-3"}, FileExpectation{abc, "3 "},
          FileExpectation{abc, "99999999999999999999999"}})
        EXPECT_EQ(CheckFile(path, bad), FileCheck::BadExpectation) << bad.Sha256 << bad.Size;
}

} // namespace
