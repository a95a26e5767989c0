// How the libcurl transport receives TLS: OpenSSL reads ahead, so one system
// call takes in many 16 KiB records instead of two calls for each record.
//
// libcurl looks for more to read only when the socket is readable or the
// record it is in has bytes left; records read ahead sit in OpenSSL's buffer
// where it does not look. The transfer loop therefore asks TlsBytesWaiting
// before it waits on the socket, and has libcurl read them (KickReceive).
#pragma once

#include <curl/curl.h>

namespace tw::net {

// Installs read-ahead on the connections `easy` makes. Without an OpenSSL
// backend it does nothing.
void ReadTlsAhead(CURL* easy);
// Whether the TLS connection of `easy` holds received bytes not yet handed
// to libcurl; false without TLS.
bool TlsBytesWaiting(CURL* easy);
// Makes the next curl_multi_perform read from the connection without asking
// the socket first.
void KickReceive(CURL* easy);

}  // namespace tw::net
