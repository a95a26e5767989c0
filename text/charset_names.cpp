#include "text/charset_names.h"

#include "text/text.h"

namespace tw {
namespace {

// Decoding GB 2312 text as GB 2312 proper turns every character outside that
// older set into "?"; pages labelled with it routinely hold such characters.
constexpr std::string_view kGbkFamily[] = {
    "gbk",   "gb2312",      "gb_2312", "gb_2312-80", "csgb2312",        "x-gbk",     "cp936",
    "ms936", "windows-936", "euc-cn",  "x-euc-cn",   "csiso58gb231280", "iso-ir-58", "chinese"};

}  // namespace

bool IsGbkCharset(std::string_view name) {
  for (std::string_view member : kGbkFamily) {
    if (EqualsIgnoreCase(name, member)) return true;
  }
  return false;
}

std::string ConverterCharsetName(std::string_view name) {
  return IsGbkCharset(name) ? std::string("CP936") : std::string(name);
}

}  // namespace tw
