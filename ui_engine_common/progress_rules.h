// The rules every progress bar keeps, whatever draws it: its position stays
// within 0..maximum, its maximum is at least 1, and its task state is one of
// the UiTaskState values.
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
      case UI_PROP_TASK_STATE:
        // An unknown state is refused rather than shown as some other.
        if (value.number < UI_TASK_NONE || value.number > UI_TASK_FAILED) return 0;
        if (taskState_ != value.number) {
          taskState_ = static_cast<int32_t>(value.number);
          TaskStateChanged();
        }
        return 1;
      default:
        return Base::SetProperty(property, value);
    }
  }

  int32_t GetProperty(int32_t property, UiValue* value) override {
    switch (property) {
      case UI_PROP_VALUE:
        value->number = Position();
        return 1;
      case UI_PROP_RANGE_MAX:
        value->number = Maximum();
        return 1;
      case UI_PROP_TASK_STATE:
        value->number = taskState_;
        return 1;
      default:
        return Base::GetProperty(property, value);
    }
  }

  int32_t TaskState() const { return taskState_; }

 protected:
  virtual int32_t Position() const = 0;
  virtual void SetPosition(int32_t position) = 0;
  virtual int32_t Maximum() const = 0;
  virtual void SetMaximum(int32_t maximum) = 0;
  // For an engine that shows the state; the bar alone does not.
  virtual void TaskStateChanged() {}

 private:
  static int32_t ToInt(int64_t number) {
    return static_cast<int32_t>(std::clamp<int64_t>(number, INT32_MIN, INT32_MAX));
  }

  int32_t taskState_ = UI_TASK_NONE;
};

}  // namespace tw::engine
