#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "net/trust.h"
#include "tests/support/environment.h"
#include "tests/support/test_certificate.h"

namespace tw::testing {

const SelfSignedIdentity& TestIdentity() {
  static const SelfSignedIdentity identity = MakeSelfSignedIdentity();
  return identity;
}

const std::string& TestCertificateFile() {
  static const std::string path = [] {
    char name[] = "/tmp/tw_test_certificate_XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    if (fd < 0 || !WriteCertificatePem(TestIdentity(), name)) return std::string();
    static const std::string removed = name;
    std::atexit([] { std::remove(removed.c_str()); });
    return std::string(name);
  }();
  return path;
}

void TrustTestCertificate() { SetEnvironment(net::kCaFileVariable, TestCertificateFile()); }

}  // namespace tw::testing
