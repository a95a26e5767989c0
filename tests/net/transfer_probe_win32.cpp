// transfer_probe URL: one GET through the WinHTTP transport, for the tests
// that run it under Wine against servers of the Linux tree (TLS trust).
// Prints how the transfer ended, then the body's size, then the detail.
#include <cstdio>

#include "net/transfer.h"

namespace {

class CountBody : public tw::net::ResponseSink {
 public:
  bool OnResponse(const tw::net::ResponseHead&) override { return true; }
  bool OnBody(const char*, size_t size) override {
    bytes += size;
    return true;
  }
  size_t bytes = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::optional<tw::net::UrlParts> url = argc == 2 ? tw::net::SplitUrl(argv[1]) : std::nullopt;
  if (!url) {
    std::fprintf(stderr, "usage: transfer_probe URL\n");
    return 2;
  }
  tw::net::Request request;
  request.url = *url;
  request.timeouts = tw::net::Timeouts::All(10000);
  tw::net::Transfer transfer(std::move(request));
  CountBody body;
  const tw::net::TransferEnd end = transfer.Run(body);
  std::printf("%s\n%zu\n%s\n", tw::net::Describe(end), body.bytes, transfer.detail().c_str());
  return 0;
}
