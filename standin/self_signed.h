// A throw-away TLS identity for servers on 127.0.0.1: a fresh P-256 key and a
// self-signed certificate for CN=127.0.0.1 with the subject alternative names
// 127.0.0.1 and localhost, valid from an hour ago for a year.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

namespace tw {

struct SelfSignedIdentity {
  std::unique_ptr<X509, decltype(&X509_free)> certificate{nullptr, &X509_free};
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key{nullptr, &EVP_PKEY_free};

  explicit operator bool() const { return certificate && key; }
};

// What a test may want otherwise: another name, a certificate out of date.
struct CertificateSpec {
  std::string commonName = "127.0.0.1";
  std::string altNames = "IP:127.0.0.1,DNS:localhost";
  long validFromSeconds = -3600;  // from now
  long validUntilSeconds = 365L * 24 * 3600;
};

// Empty identity when OpenSSL refuses any step.
SelfSignedIdentity MakeSelfSignedIdentity(const CertificateSpec& spec = {});

// Writes the certificate as PEM to `path` (replacing it), for the clients that
// are to trust it (TARNWICK_CA_FILE). False when it cannot be written.
bool WriteCertificatePem(const SelfSignedIdentity& identity, const std::string& path);

}  // namespace tw
