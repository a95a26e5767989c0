// A throw-away TLS identity for servers on 127.0.0.1: a fresh P-256 key and a
// self-signed certificate for CN=127.0.0.1, valid from an hour ago for a year.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace tw {

struct SelfSignedIdentity {
  std::unique_ptr<X509, decltype(&X509_free)> certificate{nullptr, &X509_free};
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key{nullptr, &EVP_PKEY_free};

  explicit operator bool() const { return certificate && key; }
};

// Empty identity when OpenSSL refuses any step.
SelfSignedIdentity MakeSelfSignedIdentity();

}  // namespace tw
