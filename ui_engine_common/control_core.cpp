#include "ui_engine_common/control_core.h"

#include "ui_engine_common/text_buffer.h"

namespace tw::engine {

int32_t ControlCore::SetProperty(int32_t property, const UiValue& value) {
  switch (property) {
    case UI_PROP_TEXT:
      text_ = ReadUnits(value.text);
      break;
    case UI_PROP_ACCESSIBLE_NAME:
      name_ = ReadUnits(value.text);
      break;
    case UI_PROP_LIVE:
      live_ = value.number != 0;
      break;
    default:
      return 0;
  }
  AccessibilityChanged();
  return 1;
}

int32_t ControlCore::GetProperty(int32_t property, UiValue* value) {
  switch (property) {
    case UI_PROP_TEXT:
      value->text = NewTextBuffer(text_);
      return 1;
    case UI_PROP_ACCESSIBLE_NAME:
      value->text = NewTextBuffer(AccessibleName());
      return 1;
    case UI_PROP_LIVE:
      value->number = live_ ? 1 : 0;
      return 1;
    default:
      return 0;
  }
}

std::u16string ControlCore::AccessibleName() const { return Named() ? name_ : ShownName(); }

void ControlCore::SetHoverLevel(int32_t level) {
  if (hoverLevel_ == level) return;
  hoverLevel_ = level;
  HoverLevelChanged();
}

void ControlCore::Emit(int32_t code, int32_t a, int32_t b, int32_t c, int32_t d) {
  if (callback_ != nullptr) callback_(context_, code, a, b, c, d);
}

}  // namespace tw::engine
