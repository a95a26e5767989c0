#include "ui_engine_qt/control.h"

#include <map>

namespace tw::engine {
namespace {

struct Entry {
  Control* control;
  QPointer<QObject> object;
};

// Handles start well above small integers so a stray index is not taken for one.
UiControl gNextHandle = 0x1000;
std::map<UiControl, Entry> gControls;

}  // namespace

UiControl Register(Control* control) {
  const UiControl handle = gNextHandle++;
  QObject* object = control->Object();
  gControls[handle] = Entry{control, object};
  QObject::connect(object, &QObject::destroyed, [handle] { gControls.erase(handle); });
  return handle;
}

void Control::AccessibilityChanged() {
  QWidget* widget = Widget();
  if (widget == nullptr) return;
  const QString name = QString::fromStdU16String(AccessibleName());
  const QString description = QString::fromStdU16String(AccessibleDescription());
  // Each change is announced, so one that changes nothing is left out.
  if (widget->accessibleName() != name) widget->setAccessibleName(name);
  if (widget->accessibleDescription() != description) {
    widget->setAccessibleDescription(description);
  }
}

ControlCore* FindControlCore(UiControl handle) { return FindControl(handle); }

Control* FindControl(UiControl handle) {
  const auto found = gControls.find(handle);
  if (found == gControls.end() || found->second.object.isNull()) return nullptr;
  return found->second.control;
}

QWidget* FindWidget(UiControl handle) {
  Control* control = FindControl(handle);
  return control != nullptr ? control->Widget() : nullptr;
}

void UnregisterTree(QObject* object) {
  std::erase_if(gControls, [object](const auto& entry) {
    for (QObject* at = entry.second.object.data(); at != nullptr; at = at->parent()) {
      if (at == object) return true;
    }
    return false;
  });
}

}  // namespace tw::engine
