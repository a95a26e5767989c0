#include "ui_engine_qt/text_buffer.h"

#include <cstdlib>
#include <cstring>

namespace tw::engine {

UiText* NewTextBuffer(const uint16_t* units, int32_t unitCount) {
  const size_t count = units != nullptr && unitCount > 0 ? static_cast<size_t>(unitCount) : 0;
  auto* buffer = static_cast<UiText*>(std::malloc(sizeof(UiText) + (count + 1) * sizeof(uint16_t)));
  if (buffer == nullptr) return nullptr;
  buffer->reserved = 0;
  buffer->byteLength = static_cast<uint32_t>((count + 1) * sizeof(uint16_t));
  if (count > 0) std::memcpy(buffer->units, units, count * sizeof(uint16_t));
  buffer->units[count] = 0;
  return buffer;
}

UiText* NewTextBuffer(const QString& text) {
  return NewTextBuffer(reinterpret_cast<const uint16_t*>(text.utf16()),
                       static_cast<int32_t>(text.size()));
}

namespace {

// Code units of the text, without the terminating zero the length counts.
qsizetype UnitCount(const UiText* text) {
  if (text == nullptr || text->byteLength <= 2) return 0;
  qsizetype units = static_cast<qsizetype>(text->byteLength / 2);
  if (text->units[units - 1] == 0) --units;
  return units;
}

}  // namespace

QString ReadText(const UiText* text) {
  return QString::fromUtf16(
      reinterpret_cast<const char16_t*>(text != nullptr ? text->units : nullptr), UnitCount(text));
}

QByteArray ReadBytes(const UiText* text) {
  if (UnitCount(text) == 0) return {};
  return QByteArray(reinterpret_cast<const char*>(text->units), UnitCount(text) * 2);
}

}  // namespace tw::engine
