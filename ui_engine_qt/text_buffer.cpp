#include "ui_engine_qt/text_buffer.h"

namespace tw::engine {

UiText* NewTextBuffer(const QString& text) {
  return NewTextBuffer(reinterpret_cast<const char16_t*>(text.utf16()),
                       static_cast<size_t>(text.size()));
}

QString ReadText(const UiText* text) {
  return QString::fromUtf16(
      text != nullptr ? reinterpret_cast<const char16_t*>(text->units) : nullptr,
      static_cast<qsizetype>(TextUnitCount(text)));
}

QByteArray ReadBytes(const UiText* text) {
  const std::string_view bytes = ReadByteView(text);
  if (bytes.empty()) return {};
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace tw::engine
