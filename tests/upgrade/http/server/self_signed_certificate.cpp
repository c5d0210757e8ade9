#include "tests/upgrade/http/server/self_signed_certificate.h"

#include <fstream>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace vutest {

namespace {

bool addExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (ext == nullptr)
        return false;
    const bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

} // namespace

SelfSignedCertificate::SelfSignedCertificate() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    bool ok = key != nullptr && cert != nullptr;
    if (ok) {
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 2 * 24 * 3600);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        ok = addExtension(cert, NID_basic_constraints, "critical,CA:TRUE") &&
             addExtension(cert, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") &&
             addExtension(cert, NID_key_usage, "critical,digitalSignature,keyCertSign") &&
             X509_sign(cert, key, EVP_sha256()) > 0;
    }
    if (ok) {
        Cert = cert;
        Key = key;
    } else {
        X509_free(cert);
        EVP_PKEY_free(key);
    }
}

SelfSignedCertificate::~SelfSignedCertificate() {
    X509_free(Cert);
    EVP_PKEY_free(Key);
}

std::string SelfSignedCertificate::pem() const {
    if (Cert == nullptr)
        return {};
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, Cert);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<size_t>(size));
    BIO_free(bio);
    return text;
}

bool SelfSignedCertificate::writePem(const std::string& path) const {
    const std::string text = pem();
    if (text.empty())
        return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

} // namespace vutest
