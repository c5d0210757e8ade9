// Ed25519 keys and signatures, SHA-256 digests and base64, on OpenSSL's EVP interface.
//
// Public keys travel as the base64 form of their 32 raw bytes; a key's id is the first 8 hex
// digits (lower case) of the SHA-256 of those bytes. Private keys are stored as PKCS #8 PEM files.
// Every routine folds failures into its result and never throws.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vu {

inline constexpr std::size_t kEd25519PublicKeySize = 32;
inline constexpr std::size_t kEd25519SignatureSize = 64;

using Ed25519PublicKey = std::array<std::uint8_t, kEd25519PublicKeySize>;

// Strict base64 (the standard alphabet with "=" padding, length a multiple of 4, no blanks or
// line breaks); nullopt for anything else.
std::optional<std::string> DecodeBase64(std::string_view text);
std::string EncodeBase64(std::string_view bytes);

// Lower-case hex of bytes, two digits each.
std::string LowerHex(std::string_view bytes);
// Lower-case hex SHA-256 of bytes.
std::string Sha256Hex(std::string_view bytes);

// The key from its base64 form; nullopt unless it decodes to exactly 32 bytes.
std::optional<Ed25519PublicKey> ParsePublicKey(std::string_view base64);
std::string PublicKeyBase64(const Ed25519PublicKey& key);
// First 8 hex digits of the SHA-256 of the raw key.
std::string KeyId(const Ed25519PublicKey& key);

// True when signature (64 raw bytes) is key's signature of message.
bool VerifyEd25519(const Ed25519PublicKey& key, std::string_view message,
                   std::string_view signature);

// A private key held in memory; frees itself.
class Ed25519PrivateKey {
public:
    Ed25519PrivateKey() = default;
    ~Ed25519PrivateKey();
    Ed25519PrivateKey(Ed25519PrivateKey&& other) noexcept;
    Ed25519PrivateKey& operator=(Ed25519PrivateKey&& other) noexcept;
    Ed25519PrivateKey(const Ed25519PrivateKey&) = delete;
    Ed25519PrivateKey& operator=(const Ed25519PrivateKey&) = delete;

    // A fresh key from the system's random source; an empty key when that fails.
    static Ed25519PrivateKey Generate();
    // The key of a PKCS #8 PEM text; an empty key when it is not an Ed25519 private key.
    static Ed25519PrivateKey FromPem(std::string_view pem);

    bool Valid() const { return key_ != nullptr; }
    // Empty when not Valid().
    std::string ToPem() const;
    std::optional<Ed25519PublicKey> PublicKey() const;
    // 64 raw bytes; empty on failure.
    std::string Sign(std::string_view message) const;

private:
    void* key_ = nullptr; // EVP_PKEY*
};

} // namespace vu
