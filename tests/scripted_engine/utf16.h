// Lossless conversions between the engine's UTF-16 texts and the UTF-8 of the
// script and record files. Unpaired surrogates and malformed UTF-8 become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace tw::scripted {

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace tw::scripted
