// The stand-in's own certificate authority and server certificate, so that clients reach it over
// real TLS by trusting one CA file.
#pragma once

#include <string>
#include <vector>

namespace tidyword::standin {

struct CertificateFiles {
    std::string authority;    // ca.pem: the CA certificate to trust
    std::string certificate;  // server.pem
    std::string privateKey;   // server.key
};

// Writes ca.pem, server.pem and server.key into `directory` unless all three are there already,
// in which case they are reused. The server certificate names localhost, 127.0.0.1 and
// `hostNames`. Throws std::runtime_error on failure.
CertificateFiles ensureCertificates(const std::string& directory,
                                    const std::vector<std::string>& hostNames);

}  // namespace tidyword::standin
