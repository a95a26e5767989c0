#include <cstdlib>

#include "tests/support/http_server.h"

namespace tw::testing {

std::unique_ptr<httplib::Server> LocalHttpServer::MakeServer(bool tls) {
  if (tls) std::abort();  // no TLS server in this tree; its tests leave TLS to the POSIX tree
  return std::make_unique<httplib::Server>();
}

}  // namespace tw::testing
