// The parts of the transfer interface that do not depend on the transport.
#include "net/transfer.h"

namespace tw::net {

std::vector<Text> ResponseHead::Headers(std::string_view name) const {
  std::vector<Text> values;
  for (const Text& line : SplitText(rawHeaders, "\r\n")) {
    std::size_t colon = line.find(':');
    if (colon != std::string::npos && EqualsIgnoreCase(Trim(line.substr(0, colon)), name)) {
      values.push_back(Trim(line.substr(colon + 1)));
    }
  }
  return values;
}

std::optional<Text> ResponseHead::Header(std::string_view name) const {
  std::vector<Text> values = Headers(name);
  if (values.empty()) return std::nullopt;
  return std::move(values.front());
}

const char* Describe(TransferEnd end) {
  switch (end) {
    case TransferEnd::kComplete:
      return "complete";
    case TransferEnd::kCouldNotConnect:
      return "could not connect";
    case TransferEnd::kNotSent:
      return "the request could not be sent";
    case TransferEnd::kNoResponse:
      return "no response";
    case TransferEnd::kDropped:
      return "the connection broke off";
    case TransferEnd::kSilent:
      return "the server went silent";
    case TransferEnd::kTooManyRedirects:
      return "too many redirects";
    case TransferEnd::kTooLarge:
      return "the body is too large";
    case TransferEnd::kBadResponse:
      return "the response's length cannot be trusted";
    case TransferEnd::kOverrun:
      return "the body went on past its announced length";
    case TransferEnd::kRefusedBySink:
      return "the body could not be stored";
    case TransferEnd::kWoken:
      return "woken";
    case TransferEnd::kFailed:
      return "the transport could not be set up";
  }
  return "unknown";
}

}  // namespace tw::net
