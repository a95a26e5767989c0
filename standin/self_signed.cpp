#include "standin/self_signed.h"

#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>

namespace tw {
namespace {

// Certificates of one issuer name differ in their serial numbers.
bool RandomSerial(X509* cert) {
  BIGNUM* serial = BN_new();
  bool ok = serial != nullptr && BN_rand(serial, 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1 &&
            BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(cert)) != nullptr;
  BN_free(serial);
  return ok;
}

}  // namespace

SelfSignedIdentity MakeSelfSignedIdentity(const CertificateSpec& spec) {
  SelfSignedIdentity identity;
  identity.key.reset(EVP_EC_gen("P-256"));
  identity.certificate.reset(X509_new());
  X509* cert = identity.certificate.get();
  if (!identity.key || cert == nullptr) return {};

  bool ok = X509_set_version(cert, 2) == 1 && RandomSerial(cert) &&
            X509_gmtime_adj(X509_getm_notBefore(cert), spec.validFromSeconds) != nullptr &&
            X509_gmtime_adj(X509_getm_notAfter(cert), spec.validUntilSeconds) != nullptr &&
            X509_set_pubkey(cert, identity.key.get()) == 1;
  X509_NAME* name = X509_get_subject_name(cert);
  ok = ok &&
       X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                  reinterpret_cast<const unsigned char*>(spec.commonName.c_str()),
                                  -1, -1, 0) == 1 &&
       X509_set_issuer_name(cert, name) == 1;
  if (ok) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* san =
        X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, spec.altNames.c_str());
    ok = san != nullptr && X509_add_ext(cert, san, -1) == 1;
    X509_EXTENSION_free(san);
  }
  ok = ok && X509_sign(cert, identity.key.get(), EVP_sha256()) > 0;
  if (!ok) return {};
  return identity;
}

bool WriteCertificatePem(const SelfSignedIdentity& identity, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  const bool written = PEM_write_X509(file, identity.certificate.get()) == 1;
  return std::fclose(file) == 0 && written;
}

}  // namespace tw
