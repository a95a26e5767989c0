#include "ui_engine_qt/text_buffer.h"

#include <cstdlib>
#include <cstring>

namespace tw::engine {

UiText* NewTextBuffer(const uint16_t* units, int32_t unitCount) {
  const size_t count = units != nullptr && unitCount > 0 ? static_cast<size_t>(unitCount) : 0;
  // One spare unit keeps a terminator after the text for callers that look for one.
  auto* buffer = static_cast<UiText*>(std::malloc(sizeof(UiText) + (count + 1) * sizeof(uint16_t)));
  if (buffer == nullptr) return nullptr;
  buffer->reserved = 0;
  buffer->byteLength = static_cast<uint32_t>(count * sizeof(uint16_t));
  if (count > 0) std::memcpy(buffer->units, units, count * sizeof(uint16_t));
  buffer->units[count] = 0;
  return buffer;
}

UiText* NewTextBuffer(const QString& text) {
  return NewTextBuffer(reinterpret_cast<const uint16_t*>(text.utf16()),
                       static_cast<int32_t>(text.size()));
}

QString ReadText(const UiText* text) {
  if (text == nullptr || text->byteLength <= 2) return {};
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(text->units),
                            static_cast<qsizetype>(text->byteLength / 2));
}

QByteArray ReadBytes(const UiText* text) {
  if (text == nullptr || text->byteLength <= 2) return {};
  return QByteArray(reinterpret_cast<const char*>(text->units),
                    static_cast<qsizetype>(text->byteLength));
}

}  // namespace tw::engine
