// What every engine control shares, whatever draws it: its event callback, its
// hover level, the text of a control that shows none of its own, and what
// screen readers are told about it. Controls live on the UI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "ui_engine/engine_abi.h"

namespace tw::engine {

class ControlCore {
 public:
  ControlCore(UiEventCallback callback, void* context) : callback_(callback), context_(context) {}
  virtual ~ControlCore() = default;
  ControlCore(const ControlCore&) = delete;
  ControlCore& operator=(const ControlCore&) = delete;

  // 1 when the property exists for this control and was written or read.
  virtual int32_t SetProperty(int32_t property, const UiValue& value);
  virtual int32_t GetProperty(int32_t property, UiValue* value);

  // Kept exactly as written; only a picture box draws it, clamped to 0..8.
  int32_t HoverLevel() const { return hoverLevel_; }
  void SetHoverLevel(int32_t level);

  // The callback's result is the program's business, not the engine's.
  void Emit(int32_t code, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0);

  // What screen readers call the control: the name the program gave it, else
  // what the control shows.
  std::u16string AccessibleName() const;
  // Whether the program gave the name, so that what the control shows is
  // offered beside it rather than as it.
  bool Named() const { return !name_.empty(); }
  // What is offered beside a name the program gave: what the control shows.
  std::u16string AccessibleDescription() const { return Named() ? ShownName() : u""; }
  // A status line: screen readers announce each new text.
  bool Live() const { return live_; }

 protected:
  virtual void HoverLevelChanged() {}
  // What the control shows that names it when the program gave no name.
  virtual std::u16string ShownName() const { return text_; }
  // The name, or what is offered beside it, or liveness may have changed.
  virtual void AccessibilityChanged() {}

 private:
  UiEventCallback callback_;
  void* context_;
  int32_t hoverLevel_ = 0;
  std::u16string text_;
  std::u16string name_;
  bool live_ = false;
};

}  // namespace tw::engine
