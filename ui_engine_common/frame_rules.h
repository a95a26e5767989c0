// The rules every program window keeps, whatever draws it: its title and
// background image are properties, the title names it to screen readers, and
// the program hears of its creation before the window first shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui_engine/engine_abi.h"
#include "ui_engine_common/text_buffer.h"

namespace tw::engine {

// The window's properties and first showing over an engine's control class
// `Base`; any other property is `Base`'s.
template <class Base>
class FrameProperties : public Base {
 public:
  using Base::Base;

  int32_t SetProperty(int32_t property, const UiValue& value) override {
    if (property == UI_PROP_TEXT) {
      SetTitle(ReadUnits(value.text));
      this->AccessibilityChanged();
    } else if (property == UI_PROP_BACKGROUND) {
      SetBackground(ReadByteView(value.text));
    } else {
      return Base::SetProperty(property, value);
    }
    return 1;
  }

  int32_t GetProperty(int32_t property, UiValue* value) override {
    if (property == UI_PROP_TEXT) {
      value->text = NewTextBuffer(Title());
    } else if (property == UI_PROP_CLIENT_WIDTH) {
      value->number = FrameClientWidth();
    } else {
      return Base::GetProperty(property, value);
    }
    return 1;
  }

  void ShowFrame() {
    if (!created_) {
      created_ = true;
      this->Emit(UI_EVENT_CREATED);
    }
    ShowNow();
  }

 protected:
  virtual std::u16string Title() const = 0;
  std::u16string ShownName() const override { return Title(); }
  virtual void SetTitle(const std::u16string& title) = 0;
  // Bytes the engine cannot decode leave the plain skin, as no bytes do.
  virtual void SetBackground(std::string_view bytes) = 0;
  virtual int32_t FrameClientWidth() const = 0;
  // Shows and raises the window.
  virtual void ShowNow() = 0;

 private:
  bool created_ = false;
};

}  // namespace tw::engine
