// SHA-256 of a file, for the helper's check of each download right before it is installed. The
// helper is a program of its own that must run wherever it is written, so it carries this small
// digest instead of linking a crypto library.
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

// The digest of bytes in memory, as lower-case hex.
std::string Sha256Hex(const std::string& bytes);

// Reads the regular file at path (a symbolic link is not followed); nullopt when it cannot be
// opened or read, or is not a regular file.
std::optional<FileHash> HashFile(const std::string& path);

} // namespace replacer

} // namespace vu
