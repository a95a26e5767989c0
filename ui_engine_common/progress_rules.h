// The rules every progress bar keeps, whatever draws it: its position stays
// within 0..maximum and its maximum is at least 1.
#pragma once

#include <algorithm>
#include <cstdint>

#include "ui_engine/engine_abi.h"

namespace tw::engine {

// The position and maximum properties over an engine's control class `Base`;
// anything else is `Base`'s.
template <class Base>
class ProgressProperties : public Base {
 public:
  using Base::Base;

  int32_t SetProperty(int32_t property, const UiValue& value) override {
    switch (property) {
      case UI_PROP_VALUE:
        // Out-of-range positions show as the nearest end rather than being dropped.
        SetPosition(std::clamp(ToInt(value.number), 0, Maximum()));
        return 1;
      case UI_PROP_RANGE_MAX:
        SetMaximum(std::max(ToInt(value.number), 1));
        return 1;
      default:
        return Base::SetProperty(property, value);
    }
  }

  int32_t GetProperty(int32_t property, UiValue* value) override {
    if (property != UI_PROP_VALUE && property != UI_PROP_RANGE_MAX) {
      return Base::GetProperty(property, value);
    }
    value->number = property == UI_PROP_VALUE ? Position() : Maximum();
    return 1;
  }

 protected:
  virtual int32_t Position() const = 0;
  virtual void SetPosition(int32_t position) = 0;
  virtual int32_t Maximum() const = 0;
  virtual void SetMaximum(int32_t maximum) = 0;

 private:
  static int32_t ToInt(int64_t number) {
    return static_cast<int32_t>(std::clamp<int64_t>(number, INT32_MIN, INT32_MAX));
  }
};

}  // namespace tw::engine
