// The libcrypto functions the signing code uses, each forwarding to the library loaded on the
// first call. Only the functions below exist: a new OpenSSL call needs its line here and in
// CryptoFunctions.
#include "vuCryptoLibrary.h"

#include "upgrade/utils/vuSharedLibrary.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdarg>
#include <cstring>

namespace {

struct CryptoFunctions {
    decltype(&BIO_new) bio_new = nullptr;
    decltype(&BIO_new_mem_buf) bio_new_mem_buf = nullptr;
    decltype(&BIO_s_mem) bio_s_mem = nullptr;
    decltype(&BIO_ctrl) bio_ctrl = nullptr;
    decltype(&BIO_free) bio_free = nullptr;
    decltype(&EVP_EncodeBlock) encode_block = nullptr;
    decltype(&EVP_DecodeBlock) decode_block = nullptr;
    decltype(&EVP_sha256) sha256 = nullptr;
    decltype(&EVP_Digest) digest = nullptr;
    decltype(&EVP_MD_CTX_new) md_ctx_new = nullptr;
    decltype(&EVP_MD_CTX_free) md_ctx_free = nullptr;
    decltype(&EVP_DigestInit_ex) digest_init_ex = nullptr;
    decltype(&EVP_DigestUpdate) digest_update = nullptr;
    decltype(&EVP_DigestFinal_ex) digest_final_ex = nullptr;
    decltype(&EVP_DigestSignInit) digest_sign_init = nullptr;
    decltype(&EVP_DigestSign) digest_sign = nullptr;
    decltype(&EVP_DigestVerifyInit) digest_verify_init = nullptr;
    decltype(&EVP_DigestVerify) digest_verify = nullptr;
    decltype(&EVP_PKEY_new_raw_public_key) pkey_new_raw_public_key = nullptr;
    decltype(&EVP_PKEY_get_raw_public_key) pkey_get_raw_public_key = nullptr;
    decltype(&EVP_PKEY_get_id) pkey_get_id = nullptr;
    decltype(&EVP_PKEY_Q_keygen) pkey_q_keygen = nullptr;
    decltype(&EVP_PKEY_free) pkey_free = nullptr;
    decltype(&PEM_read_bio_PrivateKey) pem_read_private_key = nullptr;
    decltype(&PEM_write_bio_PrivateKey) pem_write_private_key = nullptr;
};

vu::TvuSharedLibrary& library() {
    static vu::TvuSharedLibrary library(vu::CryptoLibraryFile);
    return library;
}

CryptoFunctions load() {
    CryptoFunctions f;
    vu::TvuSharedLibrary& lib = library();
    void* opened = lib.Open();
    if (!opened)
        return f;
    const bool complete =
        lib.Resolve(opened, "BIO_new", f.bio_new) &&
        lib.Resolve(opened, "BIO_new_mem_buf", f.bio_new_mem_buf) &&
        lib.Resolve(opened, "BIO_s_mem", f.bio_s_mem) &&
        lib.Resolve(opened, "BIO_ctrl", f.bio_ctrl) &&
        lib.Resolve(opened, "BIO_free", f.bio_free) &&
        lib.Resolve(opened, "EVP_EncodeBlock", f.encode_block) &&
        lib.Resolve(opened, "EVP_DecodeBlock", f.decode_block) &&
        lib.Resolve(opened, "EVP_sha256", f.sha256) &&
        lib.Resolve(opened, "EVP_Digest", f.digest) &&
        lib.Resolve(opened, "EVP_MD_CTX_new", f.md_ctx_new) &&
        lib.Resolve(opened, "EVP_MD_CTX_free", f.md_ctx_free) &&
        lib.Resolve(opened, "EVP_DigestInit_ex", f.digest_init_ex) &&
        lib.Resolve(opened, "EVP_DigestUpdate", f.digest_update) &&
        lib.Resolve(opened, "EVP_DigestFinal_ex", f.digest_final_ex) &&
        lib.Resolve(opened, "EVP_DigestSignInit", f.digest_sign_init) &&
        lib.Resolve(opened, "EVP_DigestSign", f.digest_sign) &&
        lib.Resolve(opened, "EVP_DigestVerifyInit", f.digest_verify_init) &&
        lib.Resolve(opened, "EVP_DigestVerify", f.digest_verify) &&
        lib.Resolve(opened, "EVP_PKEY_new_raw_public_key", f.pkey_new_raw_public_key) &&
        lib.Resolve(opened, "EVP_PKEY_get_raw_public_key", f.pkey_get_raw_public_key) &&
        lib.Resolve(opened, "EVP_PKEY_get_id", f.pkey_get_id) &&
        lib.Resolve(opened, "EVP_PKEY_Q_keygen", f.pkey_q_keygen) &&
        lib.Resolve(opened, "EVP_PKEY_free", f.pkey_free) &&
        lib.Resolve(opened, "PEM_read_bio_PrivateKey", f.pem_read_private_key) &&
        lib.Resolve(opened, "PEM_write_bio_PrivateKey", f.pem_write_private_key);
    // Older than the version the program was built for: use none of it.
    return complete ? f : CryptoFunctions();
}

// Loaded once, by whichever thread calls first.
const CryptoFunctions& crypto() {
    static const CryptoFunctions functions = load();
    return functions;
}

} // namespace

namespace vu {

bool CryptoLibraryLoaded() {
    return library().Loaded();
}

std::string CryptoLibraryError() {
    return library().Error();
}

void SetCryptoLibraryFileForTesting(const char* file) {
    library().SetFile(file);
}

} // namespace vu

extern "C" {

BIO* BIO_new(const BIO_METHOD* type) {
    return crypto().bio_new ? crypto().bio_new(type) : nullptr;
}

BIO* BIO_new_mem_buf(const void* buf, int len) {
    return crypto().bio_new_mem_buf ? crypto().bio_new_mem_buf(buf, len) : nullptr;
}

const BIO_METHOD* BIO_s_mem() {
    return crypto().bio_s_mem ? crypto().bio_s_mem() : nullptr;
}

long BIO_ctrl(BIO* bio, int command, long number, void* argument) {
    return crypto().bio_ctrl ? crypto().bio_ctrl(bio, command, number, argument) : 0;
}

int BIO_free(BIO* bio) {
    return bio && crypto().bio_free ? crypto().bio_free(bio) : 0;
}

int EVP_EncodeBlock(unsigned char* to, const unsigned char* from, int length) {
    return crypto().encode_block ? crypto().encode_block(to, from, length) : -1;
}

int EVP_DecodeBlock(unsigned char* to, const unsigned char* from, int length) {
    return crypto().decode_block ? crypto().decode_block(to, from, length) : -1;
}

const EVP_MD* EVP_sha256() {
    return crypto().sha256 ? crypto().sha256() : nullptr;
}

int EVP_Digest(const void* data, size_t count, unsigned char* md, unsigned int* size,
               const EVP_MD* type, ENGINE* engine) {
    return crypto().digest ? crypto().digest(data, count, md, size, type, engine) : 0;
}

EVP_MD_CTX* EVP_MD_CTX_new() {
    return crypto().md_ctx_new ? crypto().md_ctx_new() : nullptr;
}

void EVP_MD_CTX_free(EVP_MD_CTX* context) {
    if (context && crypto().md_ctx_free)
        crypto().md_ctx_free(context);
}

int EVP_DigestInit_ex(EVP_MD_CTX* context, const EVP_MD* type, ENGINE* engine) {
    return crypto().digest_init_ex ? crypto().digest_init_ex(context, type, engine) : 0;
}

int EVP_DigestUpdate(EVP_MD_CTX* context, const void* data, size_t count) {
    return crypto().digest_update ? crypto().digest_update(context, data, count) : 0;
}

int EVP_DigestFinal_ex(EVP_MD_CTX* context, unsigned char* md, unsigned int* size) {
    return crypto().digest_final_ex ? crypto().digest_final_ex(context, md, size) : 0;
}

int EVP_DigestSignInit(EVP_MD_CTX* context, EVP_PKEY_CTX** keyContext, const EVP_MD* type,
                       ENGINE* engine, EVP_PKEY* key) {
    return crypto().digest_sign_init
               ? crypto().digest_sign_init(context, keyContext, type, engine, key)
               : 0;
}

int EVP_DigestSign(EVP_MD_CTX* context, unsigned char* signature, size_t* signatureLength,
                   const unsigned char* data, size_t length) {
    return crypto().digest_sign
               ? crypto().digest_sign(context, signature, signatureLength, data, length)
               : 0;
}

int EVP_DigestVerifyInit(EVP_MD_CTX* context, EVP_PKEY_CTX** keyContext, const EVP_MD* type,
                         ENGINE* engine, EVP_PKEY* key) {
    return crypto().digest_verify_init
               ? crypto().digest_verify_init(context, keyContext, type, engine, key)
               : 0;
}

int EVP_DigestVerify(EVP_MD_CTX* context, const unsigned char* signature, size_t signatureLength,
                     const unsigned char* data, size_t length) {
    // 0 is a bad signature, a negative value any other failure: both refuse.
    return crypto().digest_verify
               ? crypto().digest_verify(context, signature, signatureLength, data, length)
               : -1;
}

EVP_PKEY* EVP_PKEY_new_raw_public_key(int type, ENGINE* engine, const unsigned char* key,
                                      size_t length) {
    return crypto().pkey_new_raw_public_key
               ? crypto().pkey_new_raw_public_key(type, engine, key, length)
               : nullptr;
}

int EVP_PKEY_get_raw_public_key(const EVP_PKEY* key, unsigned char* out, size_t* length) {
    return crypto().pkey_get_raw_public_key ? crypto().pkey_get_raw_public_key(key, out, length)
                                            : 0;
}

int EVP_PKEY_get_id(const EVP_PKEY* key) {
    return crypto().pkey_get_id ? crypto().pkey_get_id(key) : EVP_PKEY_NONE;
}

EVP_PKEY* EVP_PKEY_Q_keygen(OSSL_LIB_CTX* context, const char* properties, const char* type, ...) {
    if (!crypto().pkey_q_keygen || !type)
        return nullptr;
    // RSA takes the key size and EC the curve's name; the other types take nothing more.
    va_list arguments;
    va_start(arguments, type);
    EVP_PKEY* key;
    if (std::strcmp(type, "RSA") == 0)
        key = crypto().pkey_q_keygen(context, properties, type, va_arg(arguments, size_t));
    else if (std::strcmp(type, "EC") == 0)
        key = crypto().pkey_q_keygen(context, properties, type, va_arg(arguments, const char*));
    else
        key = crypto().pkey_q_keygen(context, properties, type);
    va_end(arguments);
    return key;
}

void EVP_PKEY_free(EVP_PKEY* key) {
    if (key && crypto().pkey_free)
        crypto().pkey_free(key);
}

EVP_PKEY* PEM_read_bio_PrivateKey(BIO* bio, EVP_PKEY** key, pem_password_cb* callback,
                                  void* userData) {
    return crypto().pem_read_private_key
               ? crypto().pem_read_private_key(bio, key, callback, userData)
               : nullptr;
}

int PEM_write_bio_PrivateKey(BIO* bio, const EVP_PKEY* key, const EVP_CIPHER* cipher,
                             const unsigned char* passphrase, int length, pem_password_cb* callback,
                             void* userData) {
    return crypto().pem_write_private_key
               ? crypto().pem_write_private_key(bio, key, cipher, passphrase, length, callback,
                                                userData)
               : 0;
}

} // extern "C"
