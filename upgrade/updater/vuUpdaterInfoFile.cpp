#include "upgrade/updater/vuUpdaterInfoFile.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace vu {

namespace {

// Longest key the index looks at; longer keys are never read.
constexpr std::size_t kMaxKey = 32;

constexpr std::array<std::string_view, 12> kSimpleKeys = {
    "version", "date",    "message", "method",      "signature", "product",
    "expires", "channel", "rollout", "rolloutdays", "critical",  "minversion"};
constexpr std::array<std::string_view, 1> kBlockKeys = {"message"};
// Keys numbered like the file list: "url", "url0", "url2", ... and the same for the others.
constexpr std::array<std::string_view, 3> kNumberedFamilies = {"url", "sha256", "size"};

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsKnown(std::string_view key, const auto& keys) {
    for (auto k : keys)
        if (k == key)
            return true;
    return false;
}

// The number after a family name: nothing, "0", or a decimal number without leading zeros that
// fits 64 bits.
bool ValidSuffix(std::string_view digits) {
    if (digits.empty() || digits == "0")
        return true;
    if (digits.front() == '0' || digits.size() > 19)
        return false;
    for (char c : digits)
        if (c < '0' || c > '9')
            return false;
    std::uint64_t n = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    return ec == std::errc() && ptr == digits.data() + digits.size();
}

// A key of one of the numbered families, such as "url", "url0", "sha2562" or "size17".
bool NumberedKey(std::string_view key) {
    for (std::string_view family : kNumberedFamilies)
        if (key.substr(0, family.size()) == family && ValidSuffix(key.substr(family.size())))
            return true;
    return false;
}

// A whole part of a date as a decimal integer with an optional sign.
bool ToInt(std::string_view s, int& out) {
    if (s.empty())
        return false;
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.front() == '+' || s.front() == '-')
        return false;
    long long v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || ptr != s.data() + s.size() || v > 0x7fffffffLL)
        return false;
    out = static_cast<int>(negative ? -v : v);
    return true;
}

} // namespace

TvuInfoFileReader::TvuInfoFileReader(std::string text) : text_(std::move(text)) {
    Index();
}

void TvuInfoFileReader::Index() {
    const std::size_t size = text_.size();
    std::string key;
    key.reserve(kMaxKey);
    for (std::size_t p = text_.find('#'); p != npos; p = text_.find('#', p + 1)) {
        // The marker "#key=" at p: the key is everything up to the first "=" after the "#".
        key.clear();
        std::size_t q = p + 1;
        for (; q < size && q - p - 1 <= kMaxKey && text_[q] != '='; ++q)
            key.push_back(LowerAscii(text_[q]));
        if (q >= size || text_[q] != '=')
            continue;
        const std::size_t value = q + 1;
        if (IsKnown(key, kSimpleKeys) || NumberedKey(key))
            simple_.try_emplace(key, value);
        if (value < size && text_[value] == '{' && IsKnown(key, kBlockKeys))
            block_.try_emplace(key, value + 1);
    }
}

std::size_t TvuInfoFileReader::Find(std::string_view key, bool block) const {
    const auto& map = block ? block_ : simple_;
    if (auto it = map.find(std::string(key)); it != map.end())
        return it->second;
    if (block ? IsKnown(key, kBlockKeys) : (IsKnown(key, kSimpleKeys) || NumberedKey(key)))
        return npos; // indexed and not present
    // A key outside the index: search the lower-cased text once.
    std::string marker = "#";
    for (char c : key)
        marker.push_back(LowerAscii(c));
    marker += block ? "={" : "=";
    std::string lower(text_);
    for (char& c : lower)
        c = LowerAscii(c);
    const std::size_t at = lower.find(marker);
    return at == npos ? npos : at + marker.size();
}

std::string TvuInfoFileReader::SimpleAt(std::size_t start) const {
    std::size_t end = start;
    while (end < text_.size() && static_cast<unsigned char>(text_[end]) >= 32)
        ++end;
    return text_.substr(start, end - start);
}

std::string TvuInfoFileReader::Value(std::string_view key) const {
    const std::size_t at = Find(key, false);
    return at == npos ? std::string() : SimpleAt(at);
}

std::string TvuInfoFileReader::BlockValue(std::string_view key) const {
    const std::size_t at = Find(key, true);
    if (at == npos)
        return {};
    const std::size_t end = text_.find('}', at);
    return text_.substr(at, end == npos ? npos : end - at);
}

InfoFileMethod TvuInfoFileReader::Method() const {
    const std::size_t at = Find("method", false);
    if (at == npos || at >= text_.size())
        return InfoFileMethod::SelfUpgrade;
    switch (text_[at]) {
    case '1':
        return InfoFileMethod::ExternalSetup;
    case '2':
        return InfoFileMethod::RedirectToURL;
    default:
        return InfoFileMethod::SelfUpgrade;
    }
}

std::string TvuInfoFileReader::Numbered(std::string_view prefix, std::string_view suffix) const {
    std::string key(prefix);
    key += suffix;
    auto it = simple_.find(key);
    return it == simple_.end() ? std::string() : SimpleAt(it->second);
}

std::vector<InfoFileEntry> TvuInfoFileReader::Entries() const {
    std::vector<InfoFileEntry> entries;
    auto take = [&](const std::string& suffix) {
        std::string url = Numbered("url", suffix);
        if (url.empty())
            return false;
        entries.push_back({std::move(url), Numbered("sha256", suffix), Numbered("size", suffix)});
        return true;
    };
    take("");
    take("0");
    for (std::uint64_t n = entries.size() + 1;; ++n)
        if (!take(std::to_string(n)))
            break;
    return entries;
}

std::vector<std::string> TvuInfoFileReader::Files() const {
    std::vector<std::string> files;
    for (InfoFileEntry& entry : Entries())
        files.push_back(std::move(entry.Url));
    return files;
}

QDate ParseInfoDate(std::string_view text) {
    const std::size_t first = text.find('/');
    if (first == std::string_view::npos)
        return {};
    const std::size_t second = text.find('/', first + 1);
    if (second == std::string_view::npos)
        return {};
    int month = 0, day = 0, year = 0;
    if (!ToInt(text.substr(0, first), month) ||
        !ToInt(text.substr(first + 1, second - first - 1), day) ||
        !ToInt(text.substr(second + 1), year))
        return {};
    if (year < 1 || year > 9999)
        return {};
    return QDate(year, month, day); // invalid for an impossible calendar date
}

QDate ReadInfoDate(std::string_view text, const QDate& today) {
    const QDate date = ParseInfoDate(text);
    return date.isValid() ? date : today;
}

std::string FormatVersionDate(const QDate& date) {
    char buf[48];
    const int year = date.year();
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", date.month(), date.day(), year < 0 ? 0 : year);
    return buf;
}

} // namespace vu
