// What a transport does for a Transfer: run one hop (one request and its
// response) at a time. The hops themselves, which redirect is followed, what
// each hop carries (cookies, credentials), and how much of a body is taken,
// are decided once for every transport in transfer.cpp.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/transfer.h"

namespace tw::net {

struct HopRequest {
  UrlParts url;
  std::string method;
  const Bytes* body = nullptr;
  // Host and User-Agent excepted, every line that goes out, in order.
  std::vector<std::string> headerLines;
  bool withCredentials = false;  // the request's server credentials go with this hop
};

// The transport's reports of a hop, on the calling thread.
class HopEvents {
 public:
  virtual ~HopEvents() = default;
  // The whole head of the final (not interim) response; the transport has
  // filled in status and rawHeaders. nullopt: read the body; otherwise the
  // hop ends at once with that end.
  virtual std::optional<TransferEnd> OnHead(ResponseHead& head) = 0;
  // A piece of that body. nullopt: go on reading; otherwise the hop ends at
  // once with that end (kComplete: nothing more of this body is wanted).
  virtual std::optional<TransferEnd> OnBody(const char* data, size_t size) = 0;
};

class HopTransport {
 public:
  // The platform's transport for `request` (proxy, user agent, time limits).
  static std::unique_ptr<HopTransport> Make(const Request& request);

  virtual ~HopTransport() = default;
  // Before the first hop. False (with detail) when the transport cannot be set up.
  virtual bool Open() = 0;
  // Runs one hop to its end: kComplete once the body ended as framed (or
  // OnBody asked for no more), otherwise how it failed. The hop's limits are
  // the request's Timeouts, kept by a HopClock.
  virtual TransferEnd RunHop(const HopRequest& hop, HopEvents& events) = 0;
  // From any thread: the running hop, or the next, ends as kWoken.
  virtual void Wake() = 0;
  virtual bool Woken() = 0;
  // The transport's own words on the last failure.
  virtual const std::string& detail() const = 0;
};

}  // namespace tw::net
