#include "standin/self_signed.h"

#include <openssl/x509v3.h>

namespace tw {

SelfSignedIdentity MakeSelfSignedIdentity() {
  SelfSignedIdentity identity;
  identity.key.reset(EVP_EC_gen("P-256"));
  identity.certificate.reset(X509_new());
  X509* cert = identity.certificate.get();
  if (!identity.key || cert == nullptr) return {};

  bool ok = X509_set_version(cert, 2) == 1 &&
            ASN1_INTEGER_set(X509_get_serialNumber(cert), 1) == 1 &&
            X509_gmtime_adj(X509_getm_notBefore(cert), -3600) != nullptr &&
            X509_gmtime_adj(X509_getm_notAfter(cert), 365L * 24 * 3600) != nullptr &&
            X509_set_pubkey(cert, identity.key.get()) == 1;
  X509_NAME* name = X509_get_subject_name(cert);
  ok = ok &&
       X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                  reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                                  0) == 1 &&
       X509_set_issuer_name(cert, name) == 1;
  if (ok) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* san =
        X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
    ok = san != nullptr && X509_add_ext(cert, san, -1) == 1;
    X509_EXTENSION_free(san);
  }
  ok = ok && X509_sign(cert, identity.key.get(), EVP_sha256()) > 0;
  if (!ok) return {};
  return identity;
}

}  // namespace tw
