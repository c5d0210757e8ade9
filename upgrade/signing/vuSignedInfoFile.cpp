#include "upgrade/signing/vuSignedInfoFile.h"

namespace vu {

namespace {

constexpr std::string_view kMarker = "#signature=";
constexpr std::string_view kScheme = "ed25519:";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

bool IsLowerHex(std::string_view text) {
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

} // namespace

InfoFileVerification VerifyInfoFile(std::string_view text,
                                    const std::vector<Ed25519PublicKey>& trusted) {
    InfoFileVerification result;
    result.SignedText = text;
    // The last line that is not empty.
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r'))
        --end;
    const std::size_t lineStart = text.find_last_of("\r\n", end == 0 ? 0 : end - 1);
    const std::size_t start = (lineStart == std::string_view::npos || end == 0) ? 0 : lineStart + 1;
    const std::string_view line = text.substr(start, end - start);
    if (!StartsWithNoCase(line, kMarker))
        return result; // Missing
    result.SignedText = text.substr(0, start);

    result.Result = InfoFileSignature::Malformed;
    const std::string_view value = line.substr(kMarker.size());
    if (!StartsWithNoCase(value, kScheme))
        return result;
    const std::string_view rest = value.substr(kScheme.size());
    const std::size_t colon = rest.find(':');
    if (colon != 8 || !IsLowerHex(rest.substr(0, 8)))
        return result;
    result.KeyId = std::string(rest.substr(0, 8));
    const auto signature = DecodeBase64(rest.substr(colon + 1));
    if (!signature || signature->size() != kEd25519SignatureSize)
        return result;

    result.Result = InfoFileSignature::UnknownKey;
    for (const Ed25519PublicKey& key : trusted) {
        if (KeyId(key) != result.KeyId)
            continue;
        if (VerifyEd25519(key, result.SignedText, *signature)) {
            result.Result = InfoFileSignature::Valid;
            return result;
        }
        result.Result = InfoFileSignature::Invalid;
    }
    return result;
}

std::string InfoFileSignatureLine(std::string_view body, const Ed25519PrivateKey& key) {
    const auto publicKey = key.PublicKey();
    const std::string signature = key.Sign(body);
    if (!publicKey || signature.empty())
        return {};
    return std::string(kMarker) + std::string(kScheme) + KeyId(*publicKey) + ":" +
           EncodeBase64(signature);
}

const char* SignatureResultText(InfoFileSignature result) {
    switch (result) {
    case InfoFileSignature::Valid:
        return "signature valid";
    case InfoFileSignature::Missing:
        return "not signed (the last line is no #signature= line)";
    case InfoFileSignature::Malformed:
        return "signature line malformed";
    case InfoFileSignature::UnknownKey:
        return "signed by a key that is not trusted";
    case InfoFileSignature::Invalid:
        return "signature does not match the content";
    }
    return "unknown";
}

} // namespace vu
