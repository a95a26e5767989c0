#include "web/response_decoding.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "script/regex_object.h"
#include "text/convert.h"
#include "text/message_pump.h"

namespace tw {
namespace {

constexpr std::size_t kCharsetSearchBytes = 1024;
constexpr char kCharsetPattern[] = R"(<meta.+?charset=[^\w]?([-\w]+))";

}  // namespace

Text DecodeResponseText(const Bytes& body, RegexObject& regex) {
  auto zero = std::find(body.begin(), body.end(), std::uint8_t{0});
  Text result(body.begin(), zero);

  Text subject = result.substr(0, kCharsetSearchBytes);
  if (!regex.Create(kCharsetPattern, subject)) return result;
  Text charset = regex.GetSubMatchText(1, 1);
  if (!charset.empty() && charset != "gbk" && charset != "gb2312") {
    // A charset iconv does not know keeps the raw text: better the page in
    // whatever bytes it came in than no page at all.
    std::string_view whole(reinterpret_cast<const char*>(body.data()), body.size());
    if (std::optional<Text> decoded = DecodeToGbk(whole, charset.c_str())) {
      result = std::move(*decoded);
    }
  }
  ProcessPendingMessages();
  return result;
}

Bytes TextToUtf16(const Text& text) {
  if (text.empty()) return {};
  std::u16string wide = GbkToUtf16(std::string_view(text.c_str()));
  Bytes bytes((wide.size() + 1) * 2, 0);
  for (std::size_t i = 0; i < wide.size(); ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(wide[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(wide[i] >> 8);
  }
  return bytes;
}

Text Utf16ToText(const Bytes& bytes) {
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (unit == 0) break;
    wide.push_back(unit);
  }
  Text text = Utf16ToGbk(wide);
  return text.substr(0, text.find('\0'));
}

}  // namespace tw
