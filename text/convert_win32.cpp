#include <windows.h>

#include <climits>
#include <cstring>
#include <string>

#include "text/charset_names.h"
#include "text/convert.h"
#include "text/text.h"

namespace tw {

namespace {

constexpr UINT kGbk = 936;
constexpr UINT kUtf16Le = 1200;
constexpr UINT kUtf16Be = 1201;

// Charset names as web pages declare them, lower case, and the code page the
// system decodes each with.
struct NamedCodePage {
  const char* name;
  UINT codePage;
};
// The GB 2312 / GBK family is charset_names.h's.
constexpr NamedCodePage kCodePages[] = {
    {"utf-8", CP_UTF8},     {"utf8", CP_UTF8},       {"gb18030", 54936},     {"big5", 950},
    {"big5-hkscs", 950},    {"cp950", 950},          {"shift_jis", 932},     {"shift-jis", 932},
    {"sjis", 932},          {"windows-31j", 932},    {"cp932", 932},         {"euc-jp", 20932},
    {"euc-kr", 949},        {"ks_c_5601-1987", 949}, {"cp949", 949},         {"iso-8859-1", 28591},
    {"latin1", 28591},      {"iso-8859-2", 28592},   {"iso-8859-3", 28593},  {"iso-8859-4", 28594},
    {"iso-8859-5", 28595},  {"iso-8859-6", 28596},   {"iso-8859-7", 28597},  {"iso-8859-8", 28598},
    {"iso-8859-9", 28599},  {"iso-8859-13", 28603},  {"iso-8859-15", 28605}, {"windows-1250", 1250},
    {"windows-1251", 1251}, {"windows-1252", 1252},  {"windows-1253", 1253}, {"windows-1254", 1254},
    {"windows-1255", 1255}, {"windows-1256", 1256},  {"windows-1257", 1257}, {"windows-1258", 1258},
    {"koi8-r", 20866},      {"koi8-u", 21866},       {"us-ascii", 20127},    {"ascii", 20127},
    {"utf-16", kUtf16Le},   {"utf-16le", kUtf16Le},  {"utf-16be", kUtf16Be},
};

// 0 when the name is not in the table.
UINT CodePageOf(const char* charset) {
  if (charset == nullptr) return 0;
  if (IsGbkCharset(charset)) return kGbk;
  for (const NamedCodePage& entry : kCodePages) {
    if (EqualsIgnoreCase(charset, entry.name)) return entry.codePage;
  }
  return 0;
}

// The conversion calls count in int; larger inputs than that are not
// something this program meets (response bodies are capped far below it).
bool FitsInt(std::size_t size) { return size <= static_cast<std::size_t>(INT_MAX / 2); }

std::u16string ToUtf16(std::string_view bytes, UINT codePage) {
  if (bytes.empty() || !FitsInt(bytes.size())) return {};
  const int size = static_cast<int>(bytes.size());
  const int units = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  if (units <= 0) return {};
  std::u16string out(static_cast<std::size_t>(units), u'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(out.data()),
                      units);
  return out;
}

std::string FromUtf16(std::u16string_view utf16, UINT codePage, DWORD flags) {
  if (utf16.empty() || !FitsInt(utf16.size())) return {};
  const auto* data = reinterpret_cast<const wchar_t*>(utf16.data());
  const int units = static_cast<int>(utf16.size());
  const int size = WideCharToMultiByte(codePage, flags, data, units, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, flags, data, units, out.data(), size, nullptr, nullptr);
  return out;
}

// UTF-16 in either byte order, by hand: the conversion calls take no UTF-16
// source. A trailing odd byte is dropped.
std::u16string FromUtf16Bytes(std::string_view bytes, bool bigEndian) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    out[i] = static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  }
  return out;
}

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) { return ToUtf16(gbk, kGbk); }

// The composite check folds a base character and a combining mark into the
// one precomposed character GBK may hold.
Text Utf16ToGbk(std::u16string_view utf16) { return FromUtf16(utf16, kGbk, WC_COMPOSITECHECK); }

std::string GbkToUtf8(std::string_view gbk) { return FromUtf16(GbkToUtf16(gbk), CP_UTF8, 0); }

Text Utf8ToGbk(std::string_view utf8) { return *DecodeToGbk(utf8, "UTF-8"); }

std::optional<Text> DecodeToGbk(std::string_view bytes, const char* charset) {
  const UINT codePage = CodePageOf(charset);
  const bool utf16 = codePage == kUtf16Le || codePage == kUtf16Be;
  if (codePage == 0 || (!utf16 && !IsValidCodePage(codePage))) return std::nullopt;
  if (utf16) return Utf16ToGbk(FromUtf16Bytes(bytes, codePage == kUtf16Be));
  return Utf16ToGbk(ToUtf16(bytes, codePage));
}

}  // namespace tw
