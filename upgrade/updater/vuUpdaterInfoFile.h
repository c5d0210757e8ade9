// Reader of the upgrade information file.
//
// The information file is a text fetched from the upgrade server and read as bytes. Values are
// found by searching the whole text for markers, "#" + key + "=", in a copy whose letters A to Z
// are lower-cased; only the first occurrence of a marker counts and the value itself is taken from
// the unchanged text. A simple value runs up to the first byte below 32 (or the end of the text);
// the block value of "message" ("#message={") runs up to the first "}" (or the end of the text).
//
// The text is untrusted network input: the reader indexes the markers in one linear pass, so every
// look-up afterwards costs only the length of its value, whatever the size or content of the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QDate>

namespace vu {

// The "method" digit of the information file.
enum class InfoFileMethod : int { SelfUpgrade = 0, ExternalSetup = 1, RedirectToURL = 2 };

// One file of the release: its address and, when the information file gives them, the lower-case
// hex SHA-256 and the length in bytes that the publisher recorded for it ("#sha256N=", "#sizeN="
// with the same number as its "#urlN="). Empty when not given.
struct InfoFileEntry {
    std::string Url;
    std::string Sha256;
    std::string Size;

    bool operator==(const InfoFileEntry&) const = default;
};

class TvuInfoFileReader {
public:
    explicit TvuInfoFileReader(std::string text);

    // The simple value of "#" + key + "=" (key in lower case); empty when the marker is missing.
    std::string Value(std::string_view key) const;
    // The block value of "#" + key + "={"; empty when the marker is missing.
    std::string BlockValue(std::string_view key) const;

    std::string Version() const { return Value("version"); }
    std::string Date() const { return Value("date"); }
    std::string Message() const { return BlockValue("message"); }
    // 1 when the first character of "method" is "1", 2 when it is "2", otherwise 0.
    InfoFileMethod Method() const;
    // "url", then "url0", then the numbered keys from n + 1 (n = files taken so far) up to the
    // first missing or empty one; empty values are left out.
    std::vector<std::string> Files() const;
    // The same files, each with its hash and size.
    std::vector<InfoFileEntry> Entries() const;

    const std::string& Text() const { return text_; }

private:
    static constexpr std::size_t npos = std::string::npos;
    // Offset just past the marker "#key=" (or "#key={" for blocks); npos when missing.
    std::size_t Find(std::string_view key, bool block) const;
    std::string SimpleAt(std::size_t start) const;
    // The value of prefix + suffix for a key of the numbered families; empty when missing.
    std::string Numbered(std::string_view prefix, std::string_view suffix) const;
    void Index();

    std::string text_;
    // First occurrence of each marker we read, as the offset of the value: the plain keys and
    // every key of the families "url", "sha256" and "size" followed by nothing, "0" or a number
    // without leading zeros.
    std::unordered_map<std::string, std::size_t> simple_;
    std::unordered_map<std::string, std::size_t> block_;
};

// Reads a date written M/D/Y: split at the first and second "/", each part a decimal integer, the
// year used as written. Returns an invalid QDate on any failure (no "/", an empty or non-numeric
// part, an impossible calendar date).
QDate ParseInfoDate(std::string_view text);
// ParseInfoDate, with any failure replaced by today.
QDate ReadInfoDate(std::string_view text, const QDate& today);
// The form MM/DD/YYYY with literal slashes, independent of the locale.
std::string FormatVersionDate(const QDate& date);

} // namespace vu
