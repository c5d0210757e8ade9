#pragma once

// A throw-away certificate authority for HTTPS tests: an EC key and a self-signed certificate for
// 127.0.0.1 and localhost, made in memory when a test starts and written as PEM so that a client
// can be told to trust it.

#include <string>

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace vutest {

class SelfSignedCertificate {
public:
    SelfSignedCertificate();
    ~SelfSignedCertificate();
    SelfSignedCertificate(const SelfSignedCertificate&) = delete;
    SelfSignedCertificate& operator=(const SelfSignedCertificate&) = delete;

    bool valid() const { return Cert != nullptr && Key != nullptr; }
    X509* certificate() const { return Cert; }
    EVP_PKEY* privateKey() const { return Key; }
    // The certificate in PEM form.
    std::string pem() const;
    // Writes the PEM text to a file; true on success.
    bool writePem(const std::string& path) const;

private:
    X509* Cert = nullptr;
    EVP_PKEY* Key = nullptr;
};

} // namespace vutest
