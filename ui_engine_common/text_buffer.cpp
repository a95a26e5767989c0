#include "ui_engine_common/text_buffer.h"

#include <cstdlib>
#include <cstring>

namespace tw::engine {

size_t TextUnitCount(const UiText* text) {
  if (text == nullptr || text->byteLength <= 2) return 0;
  size_t units = text->byteLength / 2;
  if (text->units[units - 1] == 0) --units;
  return units;
}

std::u16string ReadUnits(const UiText* text) {
  const size_t count = TextUnitCount(text);
  if (count == 0) return {};
  std::u16string units(count, u'\0');
  std::memcpy(units.data(), text->units, count * sizeof(char16_t));
  return units;
}

std::string_view ReadByteView(const UiText* text) {
  const size_t count = TextUnitCount(text);
  if (count == 0) return {};
  return {reinterpret_cast<const char*>(text->units), count * 2};
}

UiText* NewTextBuffer(const char16_t* units, size_t count) {
  if (units == nullptr) count = 0;
  auto* buffer = static_cast<UiText*>(std::malloc(sizeof(UiText) + (count + 1) * sizeof(uint16_t)));
  if (buffer == nullptr) return nullptr;
  buffer->reserved = 0;
  buffer->byteLength = static_cast<uint32_t>((count + 1) * sizeof(uint16_t));
  if (count > 0) std::memcpy(buffer->units, units, count * sizeof(uint16_t));
  buffer->units[count] = 0;
  return buffer;
}

}  // namespace tw::engine
