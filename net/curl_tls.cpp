#include "net/curl_tls.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <cstdio>

namespace tw::net {
namespace {

// How much one read from the socket may take in.
constexpr size_t kReadAheadBytes = size_t{256} * 1024;

// Adds every certificate of the PEM file to the context's store. A file that
// cannot be read adds nothing: the system's authorities alone then decide.
void TrustCertificatesOf(SSL_CTX* ctx, const std::string& pemPath) {
  FILE* file = std::fopen(pemPath.c_str(), "rb");
  if (file == nullptr) return;
  X509_STORE* store = SSL_CTX_get_cert_store(ctx);
  while (X509* certificate = PEM_read_X509(file, nullptr, nullptr, nullptr)) {
    X509_STORE_add_cert(store, certificate);  // a certificate already there is no error to us
    X509_free(certificate);
  }
  std::fclose(file);
  // The end of the file and any duplicate leave errors queued; the handshake
  // must not read them as its own.
  ERR_clear_error();
}

CURLcode OnTlsContext(CURL*, void* context, void* extraCaFile) {
  auto* ctx = static_cast<SSL_CTX*>(context);
  SSL_CTX_set_read_ahead(ctx, 1);
  SSL_CTX_set_default_read_buffer_len(ctx, kReadAheadBytes);
  const auto& path = *static_cast<const std::string*>(extraCaFile);
  if (!path.empty()) TrustCertificatesOf(ctx, path);
  return CURLE_OK;
}

}  // namespace

bool PrepareTls(CURL* easy, const std::string& extraCaFile) {
  // Refused by a libcurl built on another TLS library; then only the extra
  // certificates are missing, and a server that needs them is not trusted.
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &OnTlsContext);
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, &extraCaFile);
  // A cached store would be shared by later connections; each one gets its own.
  if (!extraCaFile.empty()) {
    return curl_easy_setopt(easy, CURLOPT_CA_CACHE_TIMEOUT, 0L) == CURLE_OK;
  }
  return true;
}

bool TlsBytesWaiting(CURL* easy) {
  curl_tlssessioninfo* info = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_TLS_SSL_PTR, &info) != CURLE_OK || info == nullptr ||
      info->backend != CURLSSLBACKEND_OPENSSL || info->internals == nullptr) {
    return false;
  }
  return SSL_has_pending(static_cast<SSL*>(info->internals)) == 1;
}

void KickReceive(CURL* easy) {
  // Resuming a paused transfer makes libcurl read without asking the socket,
  // since the bytes "may have been read off the socket already".
  curl_easy_pause(easy, CURLPAUSE_RECV);
  curl_easy_pause(easy, CURLPAUSE_CONT);
}

}  // namespace tw::net
