#include "Certificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>

namespace tidyword::standin {

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

void require(bool condition, const char* what) {
    if (!condition) {
        throw std::runtime_error(std::string("certificate generation failed: ") + what);
    }
}

Key newKey() {
    Key key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    require(key != nullptr, "key");
    return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    require(extension != nullptr, "extension");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

Certificate newCertificate(EVP_PKEY* key, const std::string& commonName) {
    Certificate certificate(X509_new(), &X509_free);
    require(certificate != nullptr, "certificate");
    X509_set_version(certificate.get(), 2);
    unsigned char serial[16];
    require(RAND_bytes(serial, sizeof serial) == 1, "serial");
    serial[0] &= 0x7F;
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate.get()));
    BN_free(number);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), 90L * 24 * 3600);
    X509_set_pubkey(certificate.get(), key);
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    return certificate;
}

void writeFile(const std::string& path, const std::function<int(FILE*)>& write) {
    FILE* file = std::fopen(path.c_str(), "w");
    require(file != nullptr, "open for writing");
    const int written = write(file);
    std::fclose(file);
    require(written == 1, "write");
}

}  // namespace

CertificateFiles ensureCertificates(const std::string& directory,
                                    const std::vector<std::string>& hostNames) {
    namespace fs = std::filesystem;
    fs::create_directories(directory);
    CertificateFiles files{directory + "/ca.pem", directory + "/server.pem",
                           directory + "/server.key"};
    if (fs::exists(files.authority) && fs::exists(files.certificate) &&
        fs::exists(files.privateKey)) {
        return files;
    }

    const Key authorityKey = newKey();
    const Certificate authority = newCertificate(authorityKey.get(), "Tidyword Stand-in CA");
    X509_set_issuer_name(authority.get(), X509_get_subject_name(authority.get()));
    addExtension(authority.get(), authority.get(), NID_basic_constraints, "critical,CA:TRUE");
    addExtension(authority.get(), authority.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(authority.get(), authority.get(), NID_subject_key_identifier, "hash");
    require(X509_sign(authority.get(), authorityKey.get(), EVP_sha256()) > 0, "sign CA");

    const Key serverKey = newKey();
    const Certificate server = newCertificate(serverKey.get(), "localhost");
    X509_set_issuer_name(server.get(), X509_get_subject_name(authority.get()));
    std::string names = "DNS:localhost,IP:127.0.0.1";
    for (const auto& host : hostNames) {
        names += ",DNS:" + host;
    }
    addExtension(server.get(), authority.get(), NID_subject_alt_name, names);
    addExtension(server.get(), authority.get(), NID_basic_constraints, "critical,CA:FALSE");
    addExtension(server.get(), authority.get(), NID_key_usage, "critical,digitalSignature");
    addExtension(server.get(), authority.get(), NID_ext_key_usage, "serverAuth");
    addExtension(server.get(), authority.get(), NID_authority_key_identifier, "keyid");
    require(X509_sign(server.get(), authorityKey.get(), EVP_sha256()) > 0, "sign server");

    writeFile(files.authority, [&](FILE* file) { return PEM_write_X509(file, authority.get()); });
    writeFile(files.certificate, [&](FILE* file) { return PEM_write_X509(file, server.get()); });
    writeFile(files.privateKey, [&](FILE* file) {
        return PEM_write_PrivateKey(file, serverKey.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    fs::permissions(files.privateKey, fs::perms::owner_read | fs::perms::owner_write);
    return files;
}

}  // namespace tidyword::standin
