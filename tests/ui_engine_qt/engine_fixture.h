// Shared ground for the engine tests: one started engine per process, texts
// to and from UiText buffers, and a way to reach the widgets behind handles.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/engine_numbers.h"
#include "ui_engine/engine_abi.h"

namespace tw::engine_test {

// A buffer the test owns, made by the engine.
struct Buffer {
  explicit Buffer(const QString& text);
  ~Buffer() { ReleaseTextBuffer(text); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  UiText* text;
};

// Takes over a buffer the engine returned.
QString Take(UiText* text);
QString FromGbk(const std::string& gbk);

void SetText(UiControl control, const QString& text);
QString GetText(UiControl control);
using tw::testing::GetNumber;
using tw::testing::SetNumber;

// Records every event a control sends.
struct Event {
  int32_t code, a;
};
struct EventLog {
  std::vector<Event> events;
  std::function<void(const Event&)> onEvent;  // runs after the event is recorded
  int Count(int32_t code) const;
};
int32_t RecordEvent(void* context, int32_t code, int32_t a, int32_t b, int32_t c, int32_t d);

class EngineTest : public ::testing::Test {
 public:
  // The widget with this geometry (within its parent) inside the engine's top-level window.
  static QWidget* WidgetAt(const QRect& geometry);
  static QWidget* TopLevel();

 protected:
  static void SetUpTestSuite();
  void TearDown() override;

  // The program's window size and place.
  UiControl MakeWindow(EventLog* log = nullptr);
  // Runs `step` on the UI thread once the loop below is running.
  static void Soon(std::function<void()> step, int delayMs = 0);
  // The loop, ended by EngineQuitMessageLoop from anywhere.
  static int32_t RunLoop() { return EngineRunMessageLoop(); }
};

}  // namespace tw::engine_test
