// UiText buffers, the one layout every engine reads and writes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ui_engine/engine_abi.h"

namespace tw::engine {

// Code units of the text without the terminating zero its length counts; a
// null buffer and a byte length of 2 or less hold none.
size_t TextUnitCount(const UiText* text);
std::u16string ReadUnits(const UiText* text);
// The raw bytes of a data-valued buffer (an image, say), same emptiness rule.
std::string_view ReadByteView(const UiText* text);

// A new buffer owned by whoever receives it, released with ReleaseTextBuffer;
// null units make the empty text. Null only when memory runs out.
UiText* NewTextBuffer(const char16_t* units, size_t count);
inline UiText* NewTextBuffer(std::u16string_view text) {
  return NewTextBuffer(text.data(), text.size());
}

}  // namespace tw::engine
