#include "tests/support/tls_server.h"

namespace tw::testing {

CountingTlsServer::CountingTlsServer(const SelfSignedIdentity& identity)
    : server_(identity.certificate.get(), identity.key.get()) {
  server_.Get("/", [this](const httplib::Request&, httplib::Response& response) {
    ++requests_;
    response.set_content("trusted", "text/plain");
  });
  port_ = server_.bind_to_any_port("127.0.0.1");
  // Bound and listening already: connections queue until accepted.
  thread_ = std::thread([this] { server_.listen_after_bind(); });
}

CountingTlsServer::~CountingTlsServer() {
  server_.stop();
  thread_.join();
}

std::string CountingTlsServer::Url(const std::string& host) const {
  return "https://" + host + ":" + std::to_string(port_) + "/";
}

namespace {

// A second owner of the same certificate and key.
SelfSignedIdentity Share(const SelfSignedIdentity& identity) {
  SelfSignedIdentity copy;
  X509_up_ref(identity.certificate.get());
  EVP_PKEY_up_ref(identity.key.get());
  copy.certificate.reset(identity.certificate.get());
  copy.key.reset(identity.key.get());
  return copy;
}

}  // namespace

std::vector<RefusedCertificate> RefusedCertificates() {
  CertificateSpec otherName;
  otherName.commonName = "other.example";
  otherName.altNames = "DNS:other.example";
  CertificateSpec expired;
  expired.validFromSeconds = -2L * 24 * 3600;
  expired.validUntilSeconds = -24L * 3600;
  std::vector<RefusedCertificate> cases;
  cases.push_back({"unknown", MakeSelfSignedIdentity(), MakeSelfSignedIdentity()});
  SelfSignedIdentity wrongName = MakeSelfSignedIdentity(otherName);
  cases.push_back({"another name", Share(wrongName), std::move(wrongName)});
  SelfSignedIdentity outOfDate = MakeSelfSignedIdentity(expired);
  cases.push_back({"expired", Share(outOfDate), std::move(outOfDate)});
  return cases;
}

}  // namespace tw::testing
