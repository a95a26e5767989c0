// An HTTPS server on 127.0.0.1 with a given identity, answering "/" with
// "trusted" and counting the requests that reach it: a client that refuses
// the certificate must send none.
#pragma once

#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "standin/self_signed.h"

namespace tw::testing {

class CountingTlsServer {
 public:
  explicit CountingTlsServer(const SelfSignedIdentity& identity);
  ~CountingTlsServer();
  CountingTlsServer(const CountingTlsServer&) = delete;
  CountingTlsServer& operator=(const CountingTlsServer&) = delete;

  std::string Url(const std::string& host = "127.0.0.1") const;
  int requests() const { return requests_.load(); }

 private:
  httplib::SSLServer server_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<int> requests_{0};
};

// A server a client must refuse although TARNWICK_CA_FILE holds `trusted`:
// a certificate no one knows, one made out to another name, one out of date.
struct RefusedCertificate {
  std::string what;
  SelfSignedIdentity served;
  SelfSignedIdentity trusted;
};
std::vector<RefusedCertificate> RefusedCertificates();

}  // namespace tw::testing
