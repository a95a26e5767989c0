#include "net/winhttp_trust.h"

#include <winhttp.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "text/convert.h"

namespace tw::net {
namespace {

struct StoreCloser {
  void operator()(void* store) const { CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};
using Store = std::unique_ptr<void, StoreCloser>;

struct ChainFreer {
  void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFreer>;

// A memory store with every certificate of the PEM file; empty when the file
// cannot be read.
Store LoadPem(const std::string& pemPath) {
  Store store(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  if (!store) return store;
  std::ifstream in(pemPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string pem = text.str();
  constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----";
  constexpr std::string_view kEnd = "-----END CERTIFICATE-----";
  for (size_t at = pem.find(kBegin); at != std::string::npos; at = pem.find(kBegin, at)) {
    const size_t end = pem.find(kEnd, at);
    if (end == std::string::npos) break;
    const std::string block = pem.substr(at, end + kEnd.size() - at);
    at = end + kEnd.size();
    DWORD size = 0;
    if (!CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
      continue;
    }
    std::string der(size, '\0');
    if (CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()),
                             CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(der.data()), &size,
                             nullptr, nullptr)) {
      CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING,
                                       reinterpret_cast<const BYTE*>(der.data()), size,
                                       CERT_STORE_ADD_USE_EXISTING, nullptr);
    }
  }
  return store;
}

// Byte for byte: a certificate that only shares the issuer and serial number
// of a trusted one (all that CERT_FIND_EXISTING compares) is another one.
bool InStore(HCERTSTORE store, PCCERT_CONTEXT certificate) {
  PCCERT_CONTEXT candidate = nullptr;
  while ((candidate = CertEnumCertificatesInStore(store, candidate)) != nullptr) {
    if (candidate->cbCertEncoded == certificate->cbCertEncoded &&
        std::memcmp(candidate->pbCertEncoded, certificate->pbCertEncoded,
                    certificate->cbCertEncoded) == 0) {
      CertFreeCertificateContext(candidate);
      return true;
    }
  }
  return false;
}

}  // namespace

bool ServerCertificateTrusted(PCCERT_CONTEXT server, const std::string& host,
                              const std::string& pemPath, std::string* why) {
  Store extra = LoadPem(pemPath);
  Store collection(CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
  if (!extra || !collection) {
    *why = "no certificate store";
    return false;
  }
  // The intermediates the server sent, and the extra roots, to build the chain from.
  CertAddStoreToCollection(collection.get(), server->hCertStore, 0, 0);
  CertAddStoreToCollection(collection.get(), extra.get(), 0, 0);

  LPSTR serverUsage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = serverUsage;
  PCCERT_CHAIN_CONTEXT built = nullptr;
  if (!CertGetCertificateChain(nullptr, server, nullptr, collection.get(), &para, 0, nullptr,
                               &built)) {
    *why = "no chain could be built";
    return false;
  }
  Chain chain(built);
  // An unknown root is the one error the file may mend: the root must be one
  // of its certificates. Anything else (out of date, unfit, broken) stands.
  const DWORD errors = chain->TrustStatus.dwErrorStatus;
  if ((errors & ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT)) != 0) {
    *why = "the chain is not valid (status " + std::to_string(errors) + ")";
    return false;
  }
  if (errors != 0) {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[chain->cChain - 1];
    PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
    if (!InStore(extra.get(), root)) {
      *why = "the chain ends in a root no one trusts";
      return false;
    }
  }
  // The name, with the root already judged above.
  const std::u16string wideHost = GbkToUtf16(host);
  std::wstring serverName(wideHost.begin(), wideHost.end());
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
  ssl.pwszServerName = serverName.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status) ||
      status.dwError != 0) {
    *why = "the certificate is not made out to " + host;
    return false;
  }
  return true;
}

}  // namespace tw::net
