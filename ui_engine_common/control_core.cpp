#include "ui_engine_common/control_core.h"

#include "ui_engine_common/text_buffer.h"

namespace tw::engine {

int32_t ControlCore::SetProperty(int32_t property, const UiValue& value) {
  if (property != UI_PROP_TEXT) return 0;
  text_ = ReadUnits(value.text);
  return 1;
}

int32_t ControlCore::GetProperty(int32_t property, UiValue* value) {
  if (property != UI_PROP_TEXT) return 0;
  value->text = NewTextBuffer(text_);
  return 1;
}

void ControlCore::SetHoverLevel(int32_t level) {
  if (hoverLevel_ == level) return;
  hoverLevel_ = level;
  HoverLevelChanged();
}

void ControlCore::Emit(int32_t code, int32_t a, int32_t b, int32_t c, int32_t d) {
  if (callback_ != nullptr) callback_(context_, code, a, b, c, d);
}

}  // namespace tw::engine
