// A TLS handshake and nothing more, through the system's Schannel, to see the
// certificate a server presents before WinHTTP sends it anything.
//
// WinHTTP takes no trust file: a request that trusts TARNWICK_CA_FILE has to
// let it pass an unknown root, and WinHTTP reports the server's certificate
// only once the request is on its way. So such a request first shakes hands
// here, the certificate is judged (winhttp_trust.h), and only a trusted server
// is then asked, with its certificate pinned for WinHTTP's own connection.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/winhttp_trust.h"

namespace tw::net {

struct CertificateFree {
  void operator()(const CERT_CONTEXT* certificate) const;
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

// The certificate `host`:`port` presents, with the intermediates it sent in its
// store; null (with `why`) when no handshake came about within `limitMs`, or
// as soon as `stop()` says so. No application data is sent.
Certificate ServerCertificate(const std::string& host, uint16_t port, int32_t limitMs,
                              const std::function<bool()>& stop, std::string* why);

}  // namespace tw::net
