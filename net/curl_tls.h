// How the libcurl transport does TLS beyond libcurl's defaults.
//
// Trust: the certificates of the file TARNWICK_CA_FILE names (net/trust.h) are
// added to the system's for each connection. Verification stays libcurl's.
//
// Receiving: OpenSSL reads ahead, so one system call takes in many 16 KiB
// records instead of two calls for each record. libcurl looks for more to
// read only when the socket is readable or the record it is in has bytes
// left; records read ahead sit in OpenSSL's buffer where it does not look.
// The transfer loop therefore asks TlsBytesWaiting before it waits on the
// socket, and has libcurl read them (KickReceive).
#pragma once

#include <curl/curl.h>

#include <string>

namespace tw::net {

// Sets up the connections `easy` makes: read-ahead, and the certificates of
// `extraCaFile` trusted besides the system's (none when empty). The string
// must outlive the handle. False when libcurl refused an option.
bool PrepareTls(CURL* easy, const std::string& extraCaFile);
// Whether the TLS connection of `easy` holds received bytes not yet handed
// to libcurl; false without TLS.
bool TlsBytesWaiting(CURL* easy);
// Makes the next curl_multi_perform read from the connection without asking
// the socket first.
void KickReceive(CURL* easy);

}  // namespace tw::net
