// The picture-box face of a button, whose look follows its hover level, and
// the label: plain text on the window, or a face's caption that takes the
// clicks and reports the pointer entering and leaving.
#pragma once

#include <string>

#include "ui_engine_win32/control_win32.h"

namespace tw::engine {

// Reports clicks and hover changes of a window to its control.
class PointerControl : public OwnWindowControl {
 public:
  using OwnWindowControl::OwnWindowControl;

 protected:
  LRESULT WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool inside_ = false;
  bool pressed_ = false;
};

class FaceBox : public PointerControl {
 public:
  static constexpr int kFullHighlight = 8;
  using PointerControl::PointerControl;
  bool Create(HWND parent, int left, int top, int width, int height);

  int32_t SetProperty(int32_t property, const UiValue& value) override;

 protected:
  LRESULT WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void HoverLevelChanged() override;

 private:
  void Draw(HDC dc, const RECT& client) const;
  std::string image_;
};

class TextLabel : public PointerControl {
 public:
  using PointerControl::PointerControl;
  // A label inside a face is its caption: centred, larger, with a hand pointer.
  bool Create(HWND parent, bool caption, int left, int top, int width, int height);

  int32_t SetProperty(int32_t property, const UiValue& value) override;
  int32_t GetProperty(int32_t property, UiValue* value) override;

 protected:
  LRESULT WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Draw(HDC dc, const RECT& client) const;
  std::wstring text_;
  bool caption_ = false;
};

}  // namespace tw::engine
