#include "net/redirect_rules.h"

namespace tw::net {

bool IsRedirectStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::optional<Hop> NextHop(const UrlParts& current, const std::string& method, int status,
                           std::optional<std::string_view> location) {
  if (!IsRedirectStatus(status) || !location || location->empty()) return std::nullopt;
  std::optional<UrlParts> target = ResolveLocation(current, *location);
  if (!target || (current.secure && !target->secure)) return std::nullopt;
  Hop hop{*target, method, true};
  if ((status == 303 && method != "HEAD") ||
      ((status == 301 || status == 302) && method == "POST")) {
    hop.method = "GET";
    hop.keepBody = false;
  }
  return hop;
}

}  // namespace tw::net
