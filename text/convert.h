// Conversions between the program's GBK text and other encodings: iconv on
// POSIX systems, the system code pages on Windows.
// Characters that GBK cannot hold become "?"; bytes that are not valid in the
// source encoding become "?" too, so a conversion never fails half-way.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace tw {

std::u16string GbkToUtf16(std::string_view gbk);
Text Utf16ToGbk(std::u16string_view utf16);

std::string GbkToUtf8(std::string_view gbk);
Text Utf8ToGbk(std::string_view utf8);

// Decodes `bytes` written in `charset` into GBK text: any name iconv knows on
// POSIX systems, the common names of the Windows code pages on Windows. The
// name is read without regard to case, and the GB 2312 family decodes as code
// page 936 (see charset_names.h). nullopt when the charset is not known.
std::optional<Text> DecodeToGbk(std::string_view bytes, const char* charset);

}  // namespace tw
