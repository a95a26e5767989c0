// Cookies that redirect responses set, carried to the later hops of the same
// transfer (and nowhere else: nothing is kept between transfers).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "net/url.h"
#include "text/text.h"

namespace tw::net {

class HopCookies {
 public:
  // Takes the Set-Cookie lines of a response head that `from` answered.
  void Collect(const UrlParts& from, std::string_view rawHeaders);
  // `lines` with the cookies for `to` merged into its Cookie line (added when
  // it has none): one Cookie line at most, a carried cookie replacing the
  // caller's cookie of the same name.
  std::vector<std::string> Apply(const std::vector<std::string>& lines, const UrlParts& to) const;

 private:
  struct Cookie {
    std::string name, value;
    std::string host;  // the host that set it, or the domain it names
    bool domainWide = false;
  };
  std::vector<Cookie> cookies_;
};

}  // namespace tw::net
