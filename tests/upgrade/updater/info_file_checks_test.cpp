// What an information file must pass before anything is asked or downloaded.
#include "upgrade/signing/vuSignedInfoFile.h"
#include "upgrade/updater/vuInfoFileChecks.h"

#include <gtest/gtest.h>

namespace {

using namespace vu;

const std::string kHash(64, 'a');

TEST(InfoFileChecks, SignatureRequiredOnlyWhenKeysAreBuiltIn) {
    const Ed25519PrivateKey key = Ed25519PrivateKey::Generate();
    const Ed25519PrivateKey stranger = Ed25519PrivateKey::Generate();
    const std::vector<Ed25519PublicKey> trusted{*key.PublicKey()};
    const std::string body = "#date=07/01/2006\n#url=http://h/a\n#sha256=" + kHash + "\n";
    const std::string signedText = body + InfoFileSignatureLine(body, key) + "\n";

    std::string readable;
    EXPECT_EQ(CheckInfoFileSignature(body, {}, readable), InfoFileRefusal::None);
    EXPECT_EQ(readable, body);
    // With a key, only the signed part is read: the signature line itself is not.
    EXPECT_EQ(CheckInfoFileSignature(signedText, trusted, readable), InfoFileRefusal::None);
    EXPECT_EQ(readable, body);

    readable = "untouched";
    EXPECT_EQ(CheckInfoFileSignature(body, trusted, readable), InfoFileRefusal::Unsigned);
    EXPECT_EQ(readable, "untouched");
    EXPECT_EQ(
        CheckInfoFileSignature(body + InfoFileSignatureLine(body, stranger), trusted, readable),
        InfoFileRefusal::UnknownKey);
    std::string tampered = signedText;
    tampered[body.find("07")] = '8';
    EXPECT_EQ(CheckInfoFileSignature(tampered, trusted, readable), InfoFileRefusal::BadSignature);
    EXPECT_EQ(CheckInfoFileSignature(body + "#signature=ed25519:zz\n", trusted, readable),
              InfoFileRefusal::BadSignature);
}

TEST(InfoFileChecks, LocalFilesOnlyFromALocalInformationFile) {
    const std::vector<InfoFileEntry> local{{"http://h/a", "", ""}, {"FILE:///etc/passwd", "", ""}};
    for (const char* remote : {"http://h/i.inf", "HTTPS://h/i.inf", "h/i.inf"})
        EXPECT_EQ(CheckInfoFileEntries(remote, local), InfoFileRefusal::LocalAddress) << remote;
    EXPECT_EQ(CheckInfoFileEntries("file:///srv/i.inf", local), InfoFileRefusal::None);
    EXPECT_EQ(CheckInfoFileEntries("http://h/i.inf", {{"http://h/file:x", "", ""}}),
              InfoFileRefusal::None);
}

TEST(InfoFileChecks, HashesWellFormedAndRequiredWithKeys) {
    EXPECT_EQ(CheckInfoFileEntries("http://h/i", {{"http://h/a", kHash, "12"}}),
              InfoFileRefusal::None);
    EXPECT_EQ(CheckInfoFileEntries("http://h/i", {{"http://h/a", "abc", ""}}),
              InfoFileRefusal::BadHash);
    EXPECT_EQ(CheckInfoFileEntries("http://h/i", {{"http://h/a", kHash, "12kB"}}),
              InfoFileRefusal::BadHash);

    const std::vector<FileExpectation> oneMissing{{kHash, "1"}, {"", "2"}};
    EXPECT_EQ(CheckUpgradeFiles(oneMissing, true), InfoFileRefusal::MissingHash);
    EXPECT_EQ(CheckUpgradeFiles(oneMissing, false), InfoFileRefusal::None);
    EXPECT_EQ(CheckUpgradeFiles({{kHash, ""}}, true), InfoFileRefusal::None);
    EXPECT_EQ(CheckUpgradeFiles({}, true), InfoFileRefusal::None);
}

} // namespace
