#include "upgrade/updater/vuInfoFileChecks.h"

#include "upgrade/signing/vuSignedInfoFile.h"

namespace vu {

namespace {

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// An address without "://" is fetched as http.
bool FetchedOverNetwork(std::string_view url) {
    const std::string lower = LowerAscii(url);
    return lower.find("://") == std::string::npos || lower.rfind("http://", 0) == 0 ||
           lower.rfind("https://", 0) == 0;
}

} // namespace

InfoFileRefusal CheckInfoFileSignature(std::string_view text,
                                       const std::vector<Ed25519PublicKey>& trusted,
                                       std::string& readable) {
    if (trusted.empty()) {
        readable = std::string(text);
        return InfoFileRefusal::None;
    }
    const InfoFileVerification verification = VerifyInfoFile(text, trusted);
    switch (verification.Result) {
    case InfoFileSignature::Valid:
        readable = std::string(verification.SignedText);
        return InfoFileRefusal::None;
    case InfoFileSignature::Missing:
        return InfoFileRefusal::Unsigned;
    case InfoFileSignature::UnknownKey:
        return InfoFileRefusal::UnknownKey;
    case InfoFileSignature::Malformed:
    case InfoFileSignature::Invalid:
        break;
    }
    return InfoFileRefusal::BadSignature;
}

InfoFileRefusal CheckInfoFileEntries(std::string_view infoFileURL,
                                     const std::vector<InfoFileEntry>& entries) {
    const bool remote = FetchedOverNetwork(infoFileURL);
    for (const InfoFileEntry& entry : entries) {
        if (remote && LowerAscii(entry.Url).rfind("file:", 0) == 0)
            return InfoFileRefusal::LocalAddress;
        if (!ValidExpectation({entry.Sha256, entry.Size}))
            return InfoFileRefusal::BadHash;
    }
    return InfoFileRefusal::None;
}

InfoFileRefusal CheckUpgradeFiles(const std::vector<FileExpectation>& expectations,
                                  bool keysBuiltIn) {
    for (const FileExpectation& expected : expectations) {
        if (!ValidExpectation(expected))
            return InfoFileRefusal::BadHash;
        if (keysBuiltIn && expected.Sha256.empty())
            return InfoFileRefusal::MissingHash;
    }
    return InfoFileRefusal::None;
}

const char* InfoFileRefusalText(InfoFileRefusal refusal) {
    switch (refusal) {
    case InfoFileRefusal::None:
        return "accepted";
    case InfoFileRefusal::Unsigned:
        return "the information file is not signed";
    case InfoFileRefusal::BadSignature:
        return "the signature of the information file does not match its content";
    case InfoFileRefusal::UnknownKey:
        return "the information file is signed by an unknown key";
    case InfoFileRefusal::BadHash:
        return "the information file records a malformed hash or size";
    case InfoFileRefusal::MissingHash:
        return "a file of the upgrade has no recorded hash";
    case InfoFileRefusal::LocalAddress:
        return "the information file lists a local file";
    case InfoFileRefusal::OtherProduct:
        return "the information file is for another product";
    case InfoFileRefusal::Expired:
        return "the information file is out of date (past its expiry)";
    case InfoFileRefusal::NoComparedValue:
        return "the signed information file lacks the date or version the program compares";
    case InfoFileRefusal::KeysUnusable:
        return "the program's built-in keys cannot be used to check a signature";
    }
    return "refused";
}

} // namespace vu
