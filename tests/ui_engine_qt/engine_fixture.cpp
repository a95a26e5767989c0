#include "tests/ui_engine_qt/engine_fixture.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include "text/convert.h"

// Fontconfig keeps its caches for the life of the process on purpose, and so
// does D-Bus (Qt's accessibility talks to it on a desktop).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\nleak:libdbus-1\n";
}

namespace tw::engine_test {

Buffer::Buffer(const QString& value)
    : text(MakeTextBuffer(reinterpret_cast<const uint16_t*>(value.utf16()),
                          static_cast<int32_t>(value.size()))) {}

QString Take(UiText* text) {
  QString result;
  if (text != nullptr && text->byteLength > 2) {
    result = QString::fromUtf16(reinterpret_cast<const char16_t*>(text->units),
                                static_cast<qsizetype>(text->byteLength / 2 - 1));
  }
  ReleaseTextBuffer(text);
  return result;
}

QString FromGbk(const std::string& gbk) { return QString::fromStdU16String(GbkToUtf16(gbk)); }

void SetText(UiControl control, const QString& text) {
  Buffer buffer(text);
  UiValue value{0, buffer.text};
  ControlSendMessage(control, UI_MSG_SET, UI_PROP_TEXT, &value);
}

QString GetText(UiControl control) {
  UiValue value{0, nullptr};
  ControlSendMessage(control, UI_MSG_GET, UI_PROP_TEXT, &value);
  return Take(value.text);
}

int EventLog::Count(int32_t code) const {
  int count = 0;
  for (const Event& event : events) count += event.code == code ? 1 : 0;
  return count;
}

int32_t RecordEvent(void* context, int32_t code, int32_t a, int32_t, int32_t, int32_t) {
  auto* log = static_cast<EventLog*>(context);
  log->events.push_back({code, a});
  if (log->onEvent) log->onEvent(log->events.back());
  return 0;
}

void EngineTest::SetUpTestSuite() { ASSERT_EQ(EngineStartup(nullptr), 1); }

void EngineTest::TearDown() {
  // Deleting one window may delete others it owns (menus, popups).
  QList<QPointer<QWidget>> windows;
  for (QWidget* top : QApplication::topLevelWidgets()) windows.append(top);
  for (const QPointer<QWidget>& top : windows) delete top.data();
}

UiControl EngineTest::MakeWindow(EventLog* log) {
  return CreateControl_Window(0, 50, 50, 522, 442, log != nullptr ? &RecordEvent : nullptr, log);
}

QWidget* EngineTest::TopLevel() {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->isWindow() && top->inherits("QWidget") && top->width() == 522) return top;
  }
  return nullptr;
}

QWidget* EngineTest::WidgetAt(const QRect& geometry) {
  QWidget* top = TopLevel();
  if (top == nullptr) return nullptr;
  for (QWidget* child : top->findChildren<QWidget*>()) {
    if (child->geometry() == geometry) return child;
  }
  return nullptr;
}

void EngineTest::Soon(std::function<void()> step, int delayMs) {
  QTimer::singleShot(delayMs, QApplication::instance(), std::move(step));
}

}  // namespace tw::engine_test
