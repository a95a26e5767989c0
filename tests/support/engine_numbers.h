// Number properties of an engine's control, through its C functions, for the
// engines' own test programs.
#pragma once

#include <cstdint>

#include "ui_engine/engine_abi.h"

namespace tw::testing {

// ControlSendMessage's answer: 1 when the control has the property.
inline int32_t SetNumber(UiControl control, int32_t property, int64_t number) {
  UiValue value{number, nullptr};
  return ControlSendMessage(control, UI_MSG_SET, property, &value);
}

// A property the control lacks reads as -12345, which no test expects.
inline int64_t GetNumber(UiControl control, int32_t property) {
  UiValue value{-12345, nullptr};
  ControlSendMessage(control, UI_MSG_GET, property, &value);
  return value.number;
}

}  // namespace tw::testing
