// What every engine control shares: its event callback, its property set and
// its handle. Controls live on the UI thread only, as does the handle table.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "ui_engine/engine_abi.h"

namespace tw::engine {

class Control {
 public:
  Control(UiEventCallback callback, void* context) : callback_(callback), context_(context) {}
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  virtual QObject* Object() = 0;
  virtual QWidget* Widget() { return nullptr; }

  // 1 when the property exists for this control and was written or read.
  virtual int32_t SetProperty(int32_t property, const UiValue& value);
  virtual int32_t GetProperty(int32_t property, UiValue* value);

  // Kept exactly as written; only a picture box draws it, clamped to 0..8.
  int32_t HoverLevel() const { return hoverLevel_; }
  void SetHoverLevel(int32_t level);

  // The callback's result is the program's business, not the engine's.
  void Emit(int32_t code, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0);

 protected:
  virtual void HoverLevelChanged() {}

 private:
  UiEventCallback callback_;
  void* context_;
  int32_t hoverLevel_ = 0;
  QString text_;  // for controls that show no text of their own
};

// Gives `control` a handle; the handle dies with the control's object.
UiControl Register(Control* control);
// Null for 0, unknown or destroyed handles.
Control* FindControl(UiControl handle);
QWidget* FindWidget(UiControl handle);
template <class T>
T* FindAs(UiControl handle) {
  return dynamic_cast<T*>(FindControl(handle));
}
// Forgets `object` and every control inside it, before they are deleted.
void UnregisterTree(QObject* object);

}  // namespace tw::engine
