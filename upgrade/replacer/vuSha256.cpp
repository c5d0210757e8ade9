#include "upgrade/replacer/vuSha256.h"

#include <openssl/evp.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace vu {

namespace replacer {

namespace {

// One running digest, fed in any slices; empty hex when libcrypto fails.
class Sha256 {
public:
    Sha256() : context_(EVP_MD_CTX_new(), &EVP_MD_CTX_free) {
        ok_ = context_ && EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) == 1;
    }
    void Update(const void* data, std::size_t size) {
        ok_ = ok_ && EVP_DigestUpdate(context_.get(), data, size) == 1;
    }
    std::string Hex() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (!ok_ || EVP_DigestFinal_ex(context_.get(), digest, &length) != 1)
            return {};
        static const char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (unsigned int i = 0; i < length; ++i) {
            hex += kDigits[digest[i] >> 4];
            hex += kDigits[digest[i] & 15];
        }
        return hex;
    }

private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context_;
    bool ok_ = false;
};

} // namespace

std::string Sha256Hex(const std::string& bytes) {
    Sha256 digest;
    digest.Update(bytes.data(), bytes.size());
    return digest.Hex();
}

std::optional<FileHash> HashFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    Sha256 digest;
    FileHash hash;
    unsigned char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        digest.Update(buffer, static_cast<std::size_t>(n));
        hash.size += static_cast<std::uint64_t>(n);
    }
    close(fd);
    hash.sha256 = digest.Hex();
    if (hash.sha256.empty())
        return std::nullopt; // no digest: the file cannot count as verified
    return hash;
}

} // namespace replacer

} // namespace vu
