#include "tests/support/http_server.h"
#include "tests/support/test_certificate.h"

namespace tw::testing {

std::unique_ptr<httplib::Server> LocalHttpServer::MakeServer(bool tls) {
  if (!tls) return std::make_unique<httplib::Server>();
  // The server's context takes its own references to both; clients trust
  // them through TrustTestCertificate().
  const SelfSignedIdentity& identity = TestIdentity();
  return std::make_unique<httplib::SSLServer>(identity.certificate.get(), identity.key.get());
}

}  // namespace tw::testing
