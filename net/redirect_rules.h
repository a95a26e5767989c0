// Which redirects a transfer follows, and how the next request looks.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "net/url.h"

namespace tw::net {

inline constexpr int kMaxRedirects = 10;

bool IsRedirectStatus(int status);

struct Hop {
  UrlParts url;
  std::string method;
  bool keepBody = true;
};

// The request a redirect response leads to; nullopt when the response is
// final: no redirect status, no usable Location, or https giving way to http.
std::optional<Hop> NextHop(const UrlParts& current, const std::string& method, int status,
                           std::optional<std::string_view> location);

}  // namespace tw::net
