#include "upgrade/signing/vuEd25519.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

namespace vu {

namespace {

EVP_PKEY* Key(void* key) {
    return static_cast<EVP_PKEY*>(key);
}

struct DigestContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using KeyPointer = std::unique_ptr<EVP_PKEY, KeyFree>;

struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
using BioPointer = std::unique_ptr<BIO, BioFree>;

bool IsBase64Letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

} // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=')
        ++padding;
    for (std::size_t i = 0; i < text.size() - padding; ++i)
        if (!IsBase64Letter(text[i]))
            return std::nullopt;
    if (text.empty())
        return std::string();
    std::string out(text.size() / 4 * 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (n < 0 || static_cast<std::size_t>(n) != out.size())
        return std::nullopt;
    out.resize(out.size() - padding);
    // Padding must encode nothing: re-encoding gives back exactly the text.
    if (EncodeBase64(out) != text)
        return std::nullopt;
    return out;
}

std::string EncodeBase64(std::string_view bytes) {
    std::string out((bytes.size() + 2) / 3 * 4 + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return out;
}

std::string LowerHex(std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        hex.push_back(kHex[c >> 4]);
        hex.push_back(kHex[c & 15]);
    }
    return hex;
}

std::string Sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        return {};
    return LowerHex(std::string_view(reinterpret_cast<const char*>(digest), length));
}

std::optional<Ed25519PublicKey> ParsePublicKey(std::string_view base64) {
    const auto raw = DecodeBase64(base64);
    if (!raw || raw->size() != kEd25519PublicKeySize)
        return std::nullopt;
    Ed25519PublicKey key;
    std::copy(raw->begin(), raw->end(), key.begin());
    return key;
}

std::string PublicKeyBase64(const Ed25519PublicKey& key) {
    return EncodeBase64(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
}

std::string KeyId(const Ed25519PublicKey& key) {
    return Sha256Hex(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()))
        .substr(0, 8);
}

bool VerifyEd25519(const Ed25519PublicKey& key, std::string_view message,
                   std::string_view signature) {
    if (signature.size() != kEd25519SignatureSize)
        return false;
    KeyPointer pkey(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.data(), key.size()));
    DigestContext context(EVP_MD_CTX_new());
    if (!pkey || !context)
        return false;
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, pkey.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                            signature.size(),
                            reinterpret_cast<const unsigned char*>(message.data()),
                            message.size()) == 1;
}

// ---- Private keys ------------------------------------------------------------------------------

Ed25519PrivateKey::~Ed25519PrivateKey() {
    EVP_PKEY_free(Key(key_));
}

Ed25519PrivateKey::Ed25519PrivateKey(Ed25519PrivateKey&& other) noexcept : key_(other.key_) {
    other.key_ = nullptr;
}

Ed25519PrivateKey& Ed25519PrivateKey::operator=(Ed25519PrivateKey&& other) noexcept {
    if (this != &other) {
        EVP_PKEY_free(Key(key_));
        key_ = other.key_;
        other.key_ = nullptr;
    }
    return *this;
}

Ed25519PrivateKey Ed25519PrivateKey::Generate() {
    Ed25519PrivateKey result;
    result.key_ = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    return result;
}

Ed25519PrivateKey Ed25519PrivateKey::FromPem(std::string_view pem) {
    Ed25519PrivateKey result;
    BioPointer bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!bio)
        return result;
    EVP_PKEY* key = PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr);
    if (key != nullptr && EVP_PKEY_get_id(key) != EVP_PKEY_ED25519) {
        EVP_PKEY_free(key);
        key = nullptr;
    }
    result.key_ = key;
    return result;
}

std::string Ed25519PrivateKey::ToPem() const {
    if (!Valid())
        return {};
    BioPointer bio(BIO_new(BIO_s_mem()));
    if (!bio ||
        PEM_write_bio_PrivateKey(bio.get(), Key(key_), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return {};
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

std::optional<Ed25519PublicKey> Ed25519PrivateKey::PublicKey() const {
    Ed25519PublicKey key;
    std::size_t length = key.size();
    if (!Valid() || EVP_PKEY_get_raw_public_key(Key(key_), key.data(), &length) != 1 ||
        length != key.size())
        return std::nullopt;
    return key;
}

std::string Ed25519PrivateKey::Sign(std::string_view message) const {
    if (!Valid())
        return {};
    DigestContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, Key(key_)) != 1)
        return {};
    std::string signature(kEd25519SignatureSize, '\0');
    std::size_t length = signature.size();
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) != 1 ||
        length != kEd25519SignatureSize)
        return {};
    return signature;
}

} // namespace vu
