#include "net/url.h"

#include <vector>

#include "text/convert.h"

namespace tw::net {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool Unsafe(unsigned char c) {
  if (c <= 0x20 || c >= 0x7F) return true;
  switch (c) {
    case '"':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
      return true;
    default:
      return false;
  }
}

std::string Escape(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (unsigned char c : raw) {
    if (Unsafe(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::optional<uint16_t> ParsePort(std::string_view digits, uint16_t fallback) {
  if (digits.empty()) return fallback;
  if (digits.size() > 5) return std::nullopt;
  uint32_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value == 0 || value > 65535) return std::nullopt;
  return static_cast<uint16_t>(value);
}

bool ValidHost(std::string_view host) {
  if (host.empty()) return false;
  for (unsigned char c : host) {
    if (c <= 0x20 || c == 0x7F || c == '%' || c == '[' || c == ']' || c == '@' ||
        (c < 0x80 && Unsafe(c))) {
      return false;
    }
  }
  return true;
}

// Path and query of `rest` (which starts at the path, a "?" or its end),
// without the fragment, "/" standing in for an empty path.
std::string ObjectOf(std::string_view rest) {
  std::size_t hash = rest.find('#');
  if (hash != std::string_view::npos) rest = rest.substr(0, hash);
  std::string object;
  if (rest.empty() || rest[0] != '/') object = "/";
  object += Escape(rest);
  return object;
}

// `wire` holds the bytes as they are to be sent (no code page conversion).
std::optional<UrlParts> SplitWire(std::string_view wire) {
  std::size_t sep = wire.find("://");
  if (sep == std::string_view::npos) return std::nullopt;
  std::string scheme;
  for (char c : wire.substr(0, sep)) scheme += Lower(c);
  UrlParts parts;
  if (scheme == "https") {
    parts.secure = true;
  } else if (scheme != "http") {
    return std::nullopt;
  }
  std::string_view rest = wire.substr(sep + 3);
  std::size_t end = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  // The user part is never sent.
  std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority = authority.substr(at + 1);

  std::string_view host = authority;
  std::string_view port;
  if (!authority.empty() && authority[0] == '[') {
    std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(1, close - 1);
    std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != ':') return std::nullopt;
      port = after.substr(1);
    }
    if (host.empty() ||
        host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos) {
      return std::nullopt;
    }
  } else {
    std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
    }
    if (!ValidHost(host)) return std::nullopt;
  }
  std::optional<uint16_t> number = ParsePort(port, parts.secure ? 443 : 80);
  if (!number) return std::nullopt;
  parts.port = *number;
  for (char c : host) parts.host += Lower(c);
  parts.object = ObjectOf(rest);
  return parts;
}

// RFC 3986 dot-segment removal on a path that starts with "/".
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> kept;
  std::size_t pos = 1;
  bool trailingSlash = false;
  while (pos <= path.size()) {
    std::size_t next = path.find('/', pos);
    std::string_view segment =
        path.substr(pos, next == std::string_view::npos ? std::string_view::npos : next - pos);
    bool last = next == std::string_view::npos;
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
      trailingSlash = true;
    } else if (segment == ".") {
      trailingSlash = true;
    } else {
      kept.push_back(segment);
      trailingSlash = false;
    }
    if (last) break;
    pos = next + 1;
  }
  std::string out;
  for (std::string_view segment : kept) {
    out += '/';
    out += segment;
  }
  if (trailingSlash || out.empty()) out += '/';
  return out;
}

}  // namespace

std::string UrlParts::Authority() const {
  std::string text;
  if (host.find(':') != std::string::npos) {
    text += '[';
    text += host;
    text += ']';
  } else {
    text = host;
  }
  if (port != (secure ? 443 : 80)) {
    text += ':';
    text += std::to_string(port);
  }
  return text;
}

std::string UrlParts::Whole() const {
  return std::string(secure ? "https://" : "http://") + Authority() + object;
}

bool UrlParts::SameOrigin(const UrlParts& other) const {
  return secure == other.secure && host == other.host && port == other.port;
}

std::optional<UrlParts> SplitUrl(std::string_view url) { return SplitWire(GbkToUtf8(url)); }

std::optional<UrlParts> ResolveLocation(const UrlParts& base, std::string_view location) {
  if (location.empty()) return std::nullopt;
  std::string_view scheme = location.substr(0, location.find(':'));
  bool hasScheme = scheme.size() < location.size() && !scheme.empty() &&
                   scheme.find_first_of("/?#") == std::string_view::npos;
  std::string absolute;
  if (hasScheme) {
    absolute = location;
  } else if (location.starts_with("//")) {
    absolute = std::string(base.secure ? "https:" : "http:") + std::string(location);
  } else {
    std::string prefix = std::string(base.secure ? "https://" : "http://") + base.Authority();
    std::string_view basePath = std::string_view(base.object).substr(0, base.object.find('?'));
    std::string path;
    std::string_view tail;
    if (location[0] == '/') {
      std::size_t cut = location.find_first_of("?#");
      path = location.substr(0, cut);
      if (cut != std::string_view::npos) tail = location.substr(cut);
    } else if (location[0] == '?' || location[0] == '#') {
      path = basePath;
      tail = location;
    } else {
      std::size_t cut = location.find_first_of("?#");
      path = std::string(basePath.substr(0, basePath.rfind('/') + 1)) +
             std::string(location.substr(0, cut));
      if (cut != std::string_view::npos) tail = location.substr(cut);
    }
    absolute = prefix + RemoveDotSegments(path) + std::string(tail);
  }
  std::optional<UrlParts> parts = SplitWire(absolute);
  if (parts && hasScheme) {
    std::string_view object = parts->object;
    std::size_t cut = object.find('?');
    std::string path = RemoveDotSegments(object.substr(0, cut));
    if (cut != std::string_view::npos) path += object.substr(cut);
    parts->object = path;
  }
  return parts;
}

}  // namespace tw::net
