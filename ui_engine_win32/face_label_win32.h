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

// A pointer control that paints itself through a buffer, over its parent.
class PaintedControl : public PointerControl {
 public:
  using PointerControl::PointerControl;

 protected:
  LRESULT WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  virtual void Draw(HDC dc, const RECT& client) const = 0;
  // The pointer over the control while the window is not busy.
  virtual LPCWSTR Cursor() const = 0;
};

class FaceBox : public PaintedControl {
 public:
  static constexpr int kFullHighlight = 8;
  using PaintedControl::PaintedControl;
  bool Create(HWND parent, int left, int top, int width, int height);

  int32_t SetProperty(int32_t property, const UiValue& value) override;

 protected:
  void HoverLevelChanged() override;
  // Screen readers call the face by the caption laid over it.
  std::u16string ShownName() const override;
  void Draw(HDC dc, const RECT& client) const override;
  LPCWSTR Cursor() const override { return IDC_HAND; }

 private:
  std::string image_;
};

class TextLabel : public PaintedControl {
 public:
  using PaintedControl::PaintedControl;
  // A label inside a face is its caption: centred, larger, with a hand
  // pointer, and a button to the keyboard and to screen readers.
  bool Create(HWND parent, bool caption, int left, int top, int width, int height);

  int32_t SetProperty(int32_t property, const UiValue& value) override;
  int32_t GetProperty(int32_t property, UiValue* value) override;

  bool IsCaption() const { return caption_; }
  // What a click does; the keyboard and screen readers press the caption too.
  void Press() { Emit(UI_EVENT_CLICK); }

  LONG AccessibleRole() const override;
  bool TakesFocus() const override { return caption_; }
  bool Pressable() const override { return caption_; }

 protected:
  LRESULT WindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Draw(HDC dc, const RECT& client) const override;
  LPCWSTR Cursor() const override { return caption_ ? IDC_HAND : IDC_ARROW; }
  std::u16string ShownName() const override { return Units(text_); }
  bool ShowsWindowText() const override { return true; }

 private:
  std::wstring text_;
  bool caption_ = false;
};

}  // namespace tw::engine
