// SHA-256 of a file (libcrypto), for the helper's check of each download right before it is
// installed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vu {

namespace replacer {

struct FileHash {
    std::string sha256; // 64 lower-case hex digits
    std::uint64_t size = 0;
};

// The digest of bytes in memory, as lower-case hex; empty when libcrypto fails.
std::string Sha256Hex(const std::string& bytes);

// Reads the regular file at path (a symbolic link is not followed); nullopt when it cannot be
// opened or read, is not a regular file, or cannot be digested.
std::optional<FileHash> HashFile(const std::string& path);

} // namespace replacer

} // namespace vu
