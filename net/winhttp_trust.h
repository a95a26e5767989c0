// Trusting the certificates of TARNWICK_CA_FILE over WinHTTP, which takes no
// trust file of its own: such a request lets WinHTTP pass an unknown root
// only, and checks the server's chain itself once the TLS handshake is done
// and before any byte of the request goes out (see winhttp_transfer.cpp).
#pragma once

// wincrypt.h builds on windows.h.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <string>

namespace tw::net {

// True when the chain of `server` ends in a root the system trusts or one of
// the certificates of the PEM file `pemPath`, every certificate in it is in
// date and fit for a server, and `server` is made out to `host`. `why` says
// what failed otherwise.
bool ServerCertificateTrusted(PCCERT_CONTEXT server, const std::string& host,
                              const std::string& pemPath, std::string* why);

}  // namespace tw::net
