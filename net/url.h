// Splitting an absolute URL into what a request is made of, and resolving a
// redirect's Location against the URL it answered.
//
// Only scheme, host, port, path and query are taken from a URL: a user name
// and password written in it are dropped, and a fragment is never sent. The
// object (path and query) comes out escaped for the wire: the text is read as
// GBK and sent as UTF-8, and blanks, control bytes, DEL, non-ASCII bytes and
// the characters "<>\"^`{|} are percent-escaped; an existing "%XX" stays as
// it is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace tw::net {

struct UrlParts {
  bool secure = false;  // https
  std::string host;     // as written (lower case), IPv6 literals without brackets
  uint16_t port = 0;    // 80 or 443 when the URL names none
  std::string object;   // escaped path and query; "/" when the URL has no path

  // "http://host:port/object", the port left out when it is the scheme's own.
  std::string Whole() const;
  // "host" or "host:port" as the Host header carries it.
  std::string Authority() const;
  bool SameOrigin(const UrlParts& other) const;
};

// nullopt unless `url` is an absolute http or https URL with a non-empty host
// and a valid port.
std::optional<UrlParts> SplitUrl(std::string_view url);

// `location` (absolute, scheme-relative, absolute-path or relative) against
// `base`; nullopt when the result is no http(s) URL with a host.
std::optional<UrlParts> ResolveLocation(const UrlParts& base, std::string_view location);

}  // namespace tw::net
