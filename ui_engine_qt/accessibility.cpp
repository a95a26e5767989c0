#include "ui_engine_qt/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "ui_engine_qt/text_label.h"

namespace tw::engine {
namespace {

class LabelAccessible : public QAccessibleWidget {
 public:
  explicit LabelAccessible(TextLabel* label) : QAccessibleWidget(label), label_(label) {}

  // Asked each time: a label becomes a status line after it was made.
  QAccessible::Role role() const override {
    if (label_->IsCaption()) return QAccessible::Button;
    return label_->Live() ? QAccessible::StatusBar : QAccessible::StaticText;
  }

  QStringList actionNames() const override {
    QStringList names = QAccessibleWidget::actionNames();
    if (label_->IsCaption()) names.prepend(pressAction());
    return names;
  }

  void doAction(const QString& action) override {
    if (action != pressAction() || !label_->IsCaption()) {
      QAccessibleWidget::doAction(action);
    } else if (label_->isEnabled()) {
      label_->Press();
    }
  }

  QStringList keyBindingsForAction(const QString& action) const override {
    if (action == pressAction() && label_->IsCaption()) return {QStringLiteral("Space")};
    return QAccessibleWidget::keyBindingsForAction(action);
  }

 private:
  TextLabel* label_;  // the interface dies with the widget
};

QAccessibleInterface* EngineInterface(const QString&, QObject* object) {
  if (auto* label = dynamic_cast<TextLabel*>(object)) return new LabelAccessible(label);
  return nullptr;
}

}  // namespace

void InstallAccessibility() { QAccessible::installFactory(&EngineInterface); }

void ForgetEarlyInterface(QWidget* widget) {
  QAccessibleInterface* known = QAccessible::queryAccessibleInterface(widget);
  if (known != nullptr && dynamic_cast<LabelAccessible*>(known) == nullptr) {
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(known));
  }
}

}  // namespace tw::engine
