#include "net/curl_tls.h"

#include <openssl/ssl.h>

namespace tw::net {
namespace {

// How much one read from the socket may take in.
constexpr size_t kReadAheadBytes = size_t{256} * 1024;

CURLcode OnTlsContext(CURL*, void* context, void*) {
  auto* ctx = static_cast<SSL_CTX*>(context);
  SSL_CTX_set_read_ahead(ctx, 1);
  SSL_CTX_set_default_read_buffer_len(ctx, kReadAheadBytes);
  return CURLE_OK;
}

}  // namespace

void ReadTlsAhead(CURL* easy) {
  // Refused by a libcurl built on another TLS library; then nothing changes.
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &OnTlsContext);
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
