// Whom a transfer trusts. Certificates and host names are verified on every
// request of every transport; nothing turns that off. Besides the system's
// certificate authorities, the certificates in the PEM file that the
// environment variable TARNWICK_CA_FILE names are trusted too: that is how a
// server of one's own (the local stand-in of the share service, a test
// server) is trusted without trusting everyone.
#pragma once

#include <string>

namespace tw::net {

inline constexpr char kCaFileVariable[] = "TARNWICK_CA_FILE";

// The file's path, read from the environment on every call; empty when unset.
std::string ExtraCaFile();

}  // namespace tw::net
