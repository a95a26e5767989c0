#include "standin/self_signed.h"
#include "tests/support/http_server.h"

namespace tw::testing {

std::unique_ptr<httplib::Server> LocalHttpServer::MakeServer(bool tls) {
  if (!tls) return std::make_unique<httplib::Server>();
  // The server's context takes its own references to both.
  const SelfSignedIdentity identity = MakeSelfSignedIdentity();
  return std::make_unique<httplib::SSLServer>(identity.certificate.get(), identity.key.get());
}

}  // namespace tw::testing
