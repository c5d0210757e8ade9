#include "upgrade/signing/vuFileDigest.h"

#include "upgrade/signing/vuEd25519.h"

#include <openssl/evp.h>

#include <charconv>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

namespace vu {

namespace {

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct DigestContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

std::optional<std::uint64_t> ParseSize(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool IsHexDigest(const std::string& text) {
    if (text.size() != 64)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

std::optional<std::uint64_t> RecordedSize(const FileExpectation& expected) {
    return ParseSize(expected.Size);
}

std::optional<FileDigest> DigestFile(const std::string& path) {
    std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
    if (!file || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        return std::nullopt;
    FileDigest result;
    std::unique_ptr<char[]> buffer(new char[1 << 16]);
    while (true) {
        const std::size_t n = std::fread(buffer.get(), 1, 1 << 16, file.get());
        if (n > 0 && EVP_DigestUpdate(context.get(), buffer.get(), n) != 1)
            return std::nullopt;
        result.Size += n;
        if (n < (1 << 16))
            break;
    }
    if (std::ferror(file.get()))
        return std::nullopt;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
        return std::nullopt;
    result.Sha256 = LowerHex(std::string_view(reinterpret_cast<const char*>(digest), length));
    return result;
}

bool ValidExpectation(const FileExpectation& expected) {
    return (expected.Sha256.empty() || IsHexDigest(expected.Sha256)) &&
           (expected.Size.empty() || ParseSize(expected.Size).has_value());
}

FileCheck CheckFile(const std::string& path, const FileExpectation& expected) {
    if (!ValidExpectation(expected))
        return FileCheck::BadExpectation;
    if (expected.Empty())
        return FileCheck::Match;
    if (!expected.Size.empty()) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            return FileCheck::Unreadable;
        if (static_cast<std::uint64_t>(st.st_size) != *ParseSize(expected.Size))
            return FileCheck::SizeMismatch;
    }
    if (expected.Sha256.empty())
        return FileCheck::Match;
    const auto digest = DigestFile(path);
    if (!digest)
        return FileCheck::Unreadable;
    if (!expected.Size.empty() && digest->Size != *ParseSize(expected.Size))
        return FileCheck::SizeMismatch; // changed while it was read
    return digest->Sha256 == Lower(expected.Sha256) ? FileCheck::Match : FileCheck::HashMismatch;
}

} // namespace vu
