// The SHA-256 and the length of a file on disk, and the check of a downloaded file against what
// the information file recorded for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vu {

struct FileDigest {
    std::string Sha256; // lower-case hex
    std::uint64_t Size = 0;
};

// Reads the whole file; nullopt when it cannot be opened or read.
std::optional<FileDigest> DigestFile(const std::string& path);

// What the information file recorded for one file, as written there: empty when not given.
struct FileExpectation {
    std::string Sha256;
    std::string Size;

    bool Empty() const { return Sha256.empty() && Size.empty(); }
};

enum class FileCheck {
    Match,         // every recorded value holds (also when nothing was recorded)
    SizeMismatch,  // the length differs from the recorded size
    HashMismatch,  // the SHA-256 differs from the recorded hash
    Unreadable,    // the file could not be read
    BadExpectation // the recorded hash is not 64 hex digits, or the size not a decimal number
};

// The recorded size as a number; nullopt when none is recorded or it is not well formed.
std::optional<std::uint64_t> RecordedSize(const FileExpectation& expected);

// True when the recorded values are well formed: a hash of 64 hex digits (either case), a size of
// decimal digits that fits 64 bits; empty values count as well formed.
bool ValidExpectation(const FileExpectation& expected);
// The size is compared first, so a truncated file never costs a hash of its content.
FileCheck CheckFile(const std::string& path, const FileExpectation& expected);

} // namespace vu
