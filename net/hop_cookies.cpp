#include "net/hop_cookies.h"

#include <algorithm>

namespace tw::net {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool DomainMatches(const std::string& host, const std::string& domain) {
  return host == domain || (host.size() > domain.size() && host.ends_with(domain) &&
                            host[host.size() - domain.size() - 1] == '.');
}

}  // namespace

void HopCookies::Collect(const UrlParts& from, std::string_view rawHeaders) {
  for (const Text& line : SplitText(rawHeaders, "\r\n")) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos ||
        !EqualsIgnoreCase(Trim(line.substr(0, colon)), "Set-Cookie")) {
      continue;
    }
    std::vector<Text> parts = SplitText(line.substr(colon + 1), ";");
    if (parts.empty()) continue;
    std::size_t eq = parts[0].find('=');
    if (eq == std::string::npos) continue;
    Cookie cookie{Trim(parts[0].substr(0, eq)), Trim(parts[0].substr(eq + 1)), from.host, false};
    if (cookie.name.empty()) continue;
    bool expired = false;
    for (std::size_t i = 1; i < parts.size(); ++i) {
      Text attribute = Trim(parts[i]);
      std::size_t attrEq = attribute.find('=');
      std::string key = Lower(Trim(attribute.substr(0, attrEq)));
      Text value = attrEq == std::string::npos ? Text() : Trim(attribute.substr(attrEq + 1));
      if (key == "domain" && !value.empty()) {
        std::string domain = Lower(value.front() == '.' ? value.substr(1) : value);
        // A host may only set cookies for itself or a domain it belongs to.
        if (!DomainMatches(from.host, domain)) {
          expired = true;
          break;
        }
        cookie.host = domain;
        cookie.domainWide = true;
      } else if (key == "max-age" && !value.empty() && (value[0] == '-' || value == "0")) {
        expired = true;
      }
    }
    std::erase_if(cookies_, [&](const Cookie& c) { return c.name == cookie.name; });
    if (!expired) cookies_.push_back(std::move(cookie));
  }
}

std::vector<std::string> HopCookies::Apply(const std::vector<std::string>& lines,
                                           const UrlParts& to) const {
  std::vector<const Cookie*> carried;
  for (const Cookie& c : cookies_) {
    if (c.domainWide ? DomainMatches(to.host, c.host) : to.host == c.host) carried.push_back(&c);
  }
  if (carried.empty()) return lines;
  std::vector<std::string> out;
  std::vector<std::pair<std::string, std::string>> items;  // name, whole item
  bool found = false;
  std::size_t at = 0;
  for (const std::string& line : lines) {
    std::size_t colon = line.find(':');
    bool isCookie =
        colon != std::string::npos && EqualsIgnoreCase(Trim(line.substr(0, colon)), "Cookie");
    if (!isCookie) {
      out.push_back(line);
      continue;
    }
    // Every Cookie line the caller gave becomes part of the one sent.
    for (const Text& item : SplitText(line.substr(colon + 1), ";")) {
      Text trimmed = Trim(item);
      if (trimmed.empty()) continue;
      items.emplace_back(Trim(trimmed.substr(0, trimmed.find('='))), trimmed);
    }
    if (!found) at = out.size();
    found = true;
  }
  for (const Cookie* c : carried) {
    auto same = std::find_if(items.begin(), items.end(),
                             [&](const auto& item) { return item.first == c->name; });
    std::string item = c->name + "=" + c->value;
    if (same != items.end()) {
      same->second = item;
    } else {
      items.emplace_back(c->name, item);
    }
  }
  std::string cookieLine = "Cookie: ";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) cookieLine += "; ";
    cookieLine += items[i].second;
  }
  if (!found) at = out.size();
  out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), cookieLine);
  return out;
}

}  // namespace tw::net
