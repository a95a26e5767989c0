// What every engine control shares: its event callback, its property set and
// its handle. Controls live on the UI thread only, as does the handle table.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "ui_engine_common/control_core.h"

namespace tw::engine {

class Control : public ControlCore {
 public:
  Control(UiEventCallback callback, void* context) : ControlCore(callback, context) {}

  virtual QObject* Object() = 0;
  virtual QWidget* Widget() { return nullptr; }

 protected:
  // Qt's own accessibility reads the widget's name and description; changing
  // them tells screen readers.
  void AccessibilityChanged() override;
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
