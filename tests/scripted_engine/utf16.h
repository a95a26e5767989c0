// Lossless conversions between the engine's UTF-16 buffers and the UTF-8 of the
// script and record files. Unpaired surrogates and malformed UTF-8 become U+FFFD.
#pragma once

#include <string>
#include <string_view>

#include "ui_engine/engine_abi.h"

namespace tw::scripted {

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// Reads a buffer handed in by the program; null or a length of 2 or less is empty.
std::u16string FromBuffer(const UiText* buffer);
// A new buffer that becomes the caller's (released with ReleaseTextBuffer).
UiText* NewBuffer(std::u16string_view text);

}  // namespace tw::scripted
