// The TLS identity of this test program's own servers, and the PEM file of its
// certificate, which the code under test is told to trust through
// TARNWICK_CA_FILE (it verifies every certificate).
#pragma once

#include <string>

#include "standin/self_signed.h"

namespace tw::testing {

// Made once per test program.
const SelfSignedIdentity& TestIdentity();
// The certificate's PEM file, written once, removed when the program ends.
const std::string& TestCertificateFile();
// Sets TARNWICK_CA_FILE to that file for the rest of the program.
void TrustTestCertificate();

}  // namespace tw::testing
