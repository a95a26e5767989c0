// The WinHTTP transport's trust, under Wine: the Windows tree's
// transfer_probe.exe against HTTPS servers of this tree. Wine's certificate
// checks do not match IP addresses against a certificate's names, so the
// servers are reached as localhost.
#include <gtest/gtest.h>

#include <sstream>

#include "net/trust.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tls_server.h"

namespace tw::net {
namespace {

using tw::testing::ChildProcess;
using tw::testing::CountingTlsServer;

struct ProbeResult {
  std::string end;
  std::string bodyBytes;
  std::string detail;
};

ProbeResult Probe(const std::string& url, const std::string& caFile) {
  ChildProcess::Options options;
  options.args = {TRANSFER_PROBE_PATH, url};
  options.env["WINEDEBUG"] = "-all";
  options.captureStdout = true;
  // The Wine drive form of the file (Z: is the root of this machine).
  std::string wine = "Z:" + caFile;
  for (char& c : wine) c = c == '/' ? '\\' : c;
  options.env[kCaFileVariable] = caFile.empty() ? "" : wine;
  ChildProcess probe(TW_WINE_PATH, options);
  ProbeResult result;
  // Wine's console ends lines with CRLF.
  const auto line = [&probe] {
    std::string text = probe.ReadLine(std::chrono::seconds(60)).value_or("");
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
  };
  result.end = line();
  result.bodyBytes = line();
  result.detail = line();
  probe.Wait(std::chrono::seconds(30));
  return result;
}

TEST(WinHttpTrust, OnlyTheFilesCertificateForItsNameAndInDate) {
  tw::testing::TempFolder folder("winetrust");
  const std::string ca = folder.File("ca.pem");

  const SelfSignedIdentity identity = MakeSelfSignedIdentity();
  CountingTlsServer good(identity);
  ASSERT_TRUE(WriteCertificatePem(identity, ca));
  ProbeResult trusted = Probe(good.Url("localhost"), ca);
  EXPECT_EQ(trusted.end, "complete") << trusted.detail;
  EXPECT_EQ(trusted.bodyBytes, "7");
  // Without the file the same server is not trusted.
  EXPECT_EQ(Probe(good.Url("localhost"), "").end, "could not connect");
  EXPECT_EQ(good.requests(), 1);

  for (tw::testing::RefusedCertificate& c : tw::testing::RefusedCertificates()) {
    CountingTlsServer server(c.served);
    ASSERT_TRUE(WriteCertificatePem(c.trusted, ca));
    ProbeResult refused = Probe(server.Url("localhost"), ca);
    EXPECT_EQ(refused.end, "could not connect") << c.what << ": " << refused.detail;
    EXPECT_EQ(server.requests(), 0) << c.what;
  }
}

}  // namespace
}  // namespace tw::net
