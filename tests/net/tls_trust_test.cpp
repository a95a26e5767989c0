// Whom a transfer trusts: the system's authorities and the certificates of
// TARNWICK_CA_FILE, never a server whose certificate is unknown, made out to
// another name or out of date; and such a server hears nothing of the request.
#include <gtest/gtest.h>

#include "net/transfer.h"
#include "net/trust.h"
#include "standin/self_signed.h"
#include "tests/net/collect_sink.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tls_server.h"

namespace tw::net {
namespace {

TransferEnd Fetch(const std::string& url, Collect& sink) {
  Request request;
  request.url = SplitUrl(url).value();
  request.timeouts = Timeouts::All(5000);
  return Transfer(std::move(request)).Run(sink);
}

class TlsTrust : public ::testing::Test {
 protected:
  // Trusts exactly `identity`'s certificate besides the system's.
  void Trust(const SelfSignedIdentity& identity) {
    ASSERT_TRUE(WriteCertificatePem(identity, folder_.File("ca.pem")));
    tw::testing::SetEnvironment(kCaFileVariable, folder_.File("ca.pem"));
  }
  void TearDown() override { tw::testing::SetEnvironment(kCaFileVariable, ""); }

  tw::testing::TempFolder folder_{"trust"};
};

TEST_F(TlsTrust, TheFilesCertificateIsTrustedForItsNames) {
  const SelfSignedIdentity identity = MakeSelfSignedIdentity();
  ASSERT_TRUE(identity);
  tw::testing::CountingTlsServer server(identity);
  Trust(identity);
  for (const char* host : {"127.0.0.1", "localhost"}) {
    Collect sink;
    EXPECT_EQ(Fetch(server.Url(host), sink), TransferEnd::kComplete) << host;
    EXPECT_EQ(sink.body, "trusted");
  }
  EXPECT_EQ(server.requests(), 2);
}

TEST_F(TlsTrust, UnknownWrongNameAndExpiredCertificatesHearNothing) {
  for (tw::testing::RefusedCertificate& c : tw::testing::RefusedCertificates()) {
    ASSERT_TRUE(c.served && c.trusted) << c.what;
    tw::testing::CountingTlsServer server(c.served);
    Trust(c.trusted);
    Collect sink;
    EXPECT_EQ(Fetch(server.Url(), sink), TransferEnd::kCouldNotConnect) << c.what;
    EXPECT_EQ(server.requests(), 0) << c.what;
  }
  // Without the file only the system's authorities count.
  tw::testing::SetEnvironment(kCaFileVariable, "");
  tw::testing::CountingTlsServer server(MakeSelfSignedIdentity());
  Collect sink;
  EXPECT_EQ(Fetch(server.Url(), sink), TransferEnd::kCouldNotConnect);
  EXPECT_EQ(server.requests(), 0);
}

}  // namespace
}  // namespace tw::net
