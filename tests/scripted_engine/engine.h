// The scripted engine's state and its message loop, shared by the exported
// C functions. One engine per process; EngineStartup begins a fresh session.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/scripted_engine/record.h"
#include "tests/scripted_engine/script.h"
#include "ui_engine/engine_abi.h"

namespace tw::scripted {

using Clock = std::chrono::steady_clock;

enum class Kind { Window, Label, Picture, Progress, Toolbar, List, Timer };
const char* KindName(Kind kind);

struct Column {
  std::u16string title;
  int32_t width = 0;
};

struct Control {
  Kind kind = Kind::Label;
  UiControl parent = 0;
  int32_t left = 0, top = 0, width = 0, height = 0;
  UiEventCallback callback = nullptr;
  void* context = nullptr;
  bool destroyed = false;

  std::u16string text;
  std::u16string background;
  std::u16string accessibleName;
  bool live = false;
  int64_t value = 0;
  int64_t rangeMax = 100;
  int64_t taskState = UI_TASK_NONE;
  int64_t selectedRow = -1;
  bool enabled = true;
  int32_t hover = 0;
  std::vector<std::u16string> buttons;
  std::vector<Column> columns;
  std::vector<std::vector<std::u16string>> rows;

  // Timers only.
  int32_t interval = 0;
  Clock::time_point due;
  bool firing = false;
};

// A call queued for the UI thread. The caller waits on it unless nobody does
// (events the script queues).
struct Call {
  enum class State { Queued, Running, Done, Abandoned };
  std::function<void()> run;
  State state = State::Queued;
  uint64_t order = 0;
};

struct InputAnswer {
  std::u16string text;
  bool dismissed = false;
};

struct Engine {
  std::mutex mu;
  std::condition_variable wake;      // the loop: calls queued, lines recorded, quit
  std::condition_variable finished;  // callers of queued calls

  uint64_t session = 0;
  std::atomic<std::thread::id> uiThread;
  bool started = false;
  bool loopReturned = false;
  bool quitRequested = false;
  int32_t quitCode = 0;

  std::map<UiControl, Control> controls;
  UiControl nextId = 1;
  std::deque<std::shared_ptr<Call>> calls;
  // Events of "busy" steps, queued at the next EngineProcessMessages.
  std::vector<std::function<void()>> heldForPump;
  uint64_t nextCallOrder = 1;
  Recorder record;

  std::vector<Step> steps;
  size_t stepIndex = 0;
  bool stepStarted = false;
  bool scriptStopped = false;
  Clock::time_point stepStart;
  size_t scanFrom = 0;

  std::deque<InputAnswer> inputAnswers;
  std::deque<int32_t> boxAnswers;
  std::deque<std::optional<std::u16string>> browseAnswers;

  std::u16string documents;
  Clock::time_point deadline;
  bool deadlinePassed = false;
};

// Never destroyed: threads the program leaves running may call in while the
// process exits.
Engine& TheEngine();

bool OnUiThread();
// Whether calls from other threads are refused (the loop was told to quit or returned).
bool LoopEnded(const Engine& e);

// Runs `fn` on the UI thread: directly on the UI thread, otherwise queued and
// waited for. Returns false, without running it, when another thread calls
// once the loop has ended (or before the engine started).
bool RunOnUi(const std::function<void()>& fn);

// The same for a call with a result; `empty` when it did not run.
template <class R, class F>
R OnUi(R empty, F fn) {
  R result = empty;
  RunOnUi([&] { result = fn(); });
  return result;
}

// Sends an event to a control's callback (outside the lock), recording it first.
// Input events to a disabled control are dropped, as a desktop does.
int32_t SendEvent(UiControl id, int32_t code, int32_t a);
// Queues a call on the loop that nobody waits for. Expects the lock held.
void QueueLocked(Engine& e, std::function<void()> run);

// Runs the calls queued so far and the timers that are due, once each.
void ProcessOnce();
// EngineProcessMessages: releases the events held for a pumping handler first.
void ProcessFromHandler();
int32_t RunLoop();
void Quit(int32_t code);

void StartSession(void* libraryHandle);

// Expect the lock held.
void RecordLine(Engine& e, std::string line);
Control* Find(Engine& e, UiControl id);  // null for unknown, destroyed or timer ids
Control* FindTimer(Engine& e, UiControl id);
UiControl FirstOfKind(Engine& e, Kind kind);

}  // namespace tw::scripted
