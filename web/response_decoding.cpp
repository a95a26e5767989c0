#include "web/response_decoding.h"

#include <optional>

#include "script/regex_object.h"
#include "text/charset_names.h"
#include "text/convert.h"
#include "text/message_pump.h"

namespace tw {
namespace {

constexpr std::size_t kCharsetSearchBytes = 1024;
constexpr char kCharsetPattern[] = R"(<meta.+?charset=[^\w]?([-\w]+))";

struct ByteOrderMark {
  std::string_view bytes;
  const char* charset;
};

// UTF-32 marks are left out: FF FE 00 00 would also start a UTF-16 page
// whose first character is U+0000, and no page is written in UTF-32.
const ByteOrderMark kByteOrderMarks[] = {
    {"\xEF\xBB\xBF", "UTF-8"},
    {"\xFF\xFE", "UTF-16LE"},
    {"\xFE\xFF", "UTF-16BE"},
};

const ByteOrderMark* FindByteOrderMark(std::string_view body) {
  for (const ByteOrderMark& mark : kByteOrderMarks) {
    if (body.starts_with(mark.bytes)) return &mark;
  }
  return nullptr;
}

}  // namespace

Text DecodeResponseText(const Bytes& body, RegexObject& regex) {
  std::string_view whole(reinterpret_cast<const char*>(body.data()), body.size());
  // A byte-order mark is no character of the page, and it says for certain how
  // the page is written, whatever a meta tag claims.
  if (const ByteOrderMark* mark = FindByteOrderMark(whole)) {
    whole.remove_prefix(mark->bytes.size());
    std::optional<Text> decoded = DecodeToGbk(whole, mark->charset);
    ProcessPendingMessages();
    if (decoded) return std::move(*decoded);
  }
  Text result(whole.substr(0, whole.find('\0')));

  Text subject = result.substr(0, kCharsetSearchBytes);
  if (!regex.Create(kCharsetPattern, subject)) return result;
  Text charset = regex.GetSubMatchText(1, 1);
  // The GBK names, in whatever letter case, are the program's own code page.
  if (!charset.empty() && !IsGbkCharset(charset)) {
    // A charset the converter does not know keeps the raw text: better the
    // page in whatever bytes it came in than no page at all.
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
