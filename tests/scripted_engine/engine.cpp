#include "tests/scripted_engine/engine.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/scripted_engine/utf16.h"

namespace tw::scripted {

namespace {

constexpr int32_t kDefaultDeadlineMs = 60000;
// After the deadline's close event, how long the program gets to leave the
// loop before the engine leaves it for the program.
constexpr auto kQuitGrace = std::chrono::seconds(5);
// How long the UI thread may stay stuck past the deadline before the process
// is ended, so that a test never hangs on a program that stopped pumping.
constexpr auto kStuckGrace = std::chrono::seconds(8);
// The loop's longest sleep; record lines from other threads may not wake it.
constexpr auto kLongestSleep = std::chrono::milliseconds(10);

bool IsInputEvent(int32_t code) {
  return code == UI_EVENT_CLICK || code == UI_EVENT_HOVER || code == UI_EVENT_TOOLBAR ||
         code == UI_EVENT_SELECT;
}

// Input reaches a control only while it and every control it sits in are enabled.
bool TakesInput(Engine& e, UiControl id) {
  for (int depth = 0; id != 0 && depth < 64; ++depth) {
    const Control* c = Find(e, id);
    if (c == nullptr) return false;
    if (!c->enabled) return false;
    id = c->parent;
  }
  return true;
}

int32_t DeadlineFromEnvironment() {
  const char* text = std::getenv("TW_UI_DEADLINE_MS");
  if (text == nullptr) return kDefaultDeadlineMs;
  const auto ms = ParseInteger(text);
  return ms && *ms > 0 ? *ms : kDefaultDeadlineMs;
}

std::string EnvironmentText(const char* name) {
  const char* text = std::getenv(name);
  return text == nullptr ? std::string() : std::string(text);
}

// Sends UI_EVENT_CLOSED to the window, or ends the loop when there is none.
void CloseWindow() {
  Engine& e = TheEngine();
  UiControl window = 0;
  {
    std::lock_guard<std::mutex> lock(e.mu);
    window = FirstOfKind(e, Kind::Window);
  }
  if (window != 0) {
    SendEvent(window, UI_EVENT_CLOSED, 0);
  } else {
    Quit(0);
  }
}

// Expects the lock held. Resolves "12", "text=..." or "kind=..." to a control.
UiControl ResolveTarget(Engine& e, std::string_view target) {
  while (!target.empty() && target.front() == ' ') target.remove_prefix(1);
  if (target.starts_with("text=")) {
    const std::u16string text = Utf8ToUtf16(target.substr(5));
    for (auto& [id, c] : e.controls) {
      if (!c.destroyed && c.kind != Kind::Timer && c.text == text) return id;
    }
    return 0;
  }
  if (target.starts_with("kind=")) {
    const std::string_view name = target.substr(5);
    for (Kind kind :
         {Kind::Window, Kind::Label, Kind::Picture, Kind::Progress, Kind::Toolbar, Kind::List}) {
      if (name == KindName(kind)) return FirstOfKind(e, kind);
    }
    return 0;
  }
  const auto id = ParseInteger(target);
  return id && Find(e, *id) != nullptr ? *id : 0;
}

enum class StepResult { Pending, Done, Failed };

// Expects the lock held. Starts or continues the current step.
StepResult RunStep(Engine& e, Step& step, std::string* failure) {
  const auto now = Clock::now();
  const auto elapsed = now - e.stepStart;
  auto queueEvent = [&](UiControl id, int32_t code, int32_t a) {
    std::function<void()> send = [id, code, a] { SendEvent(id, code, a); };
    if (step.whileBusy) {
      e.heldForPump.push_back(std::move(send));
    } else {
      QueueLocked(e, std::move(send));
    }
  };
  switch (step.kind) {
    case StepKind::Sleep:
      return elapsed >= std::chrono::milliseconds(step.numbers[0]) ? StepResult::Done
                                                                   : StepResult::Pending;
    case StepKind::Wait:
    case StepKind::WaitNew: {
      const auto& lines = e.record.lines();
      for (; e.scanFrom < lines.size(); ++e.scanFrom) {
        if (std::regex_search(lines[e.scanFrom], *step.pattern)) return StepResult::Done;
      }
      if (elapsed >= std::chrono::milliseconds(step.timeoutMs)) {
        RecordLine(e, "timeout " + EscapeText(std::string_view(step.line)));
        *failure = "";
        return StepResult::Failed;
      }
      return StepResult::Pending;
    }
    case StepKind::WaitEnabled: {
      const UiControl id = ResolveTarget(e, step.target);
      if (id != 0 && e.controls[id].enabled) return StepResult::Done;
      if (elapsed >= std::chrono::milliseconds(step.timeoutMs)) {
        RecordLine(e, "timeout " + EscapeText(std::string_view(step.line)));
        *failure = "";
        return StepResult::Failed;
      }
      return StepResult::Pending;
    }
    case StepKind::Click:
    case StepKind::Hover: {
      const UiControl id = ResolveTarget(e, step.target);
      if (id == 0) {
        *failure = "no control " + step.target;
        return StepResult::Failed;
      }
      if (step.kind == StepKind::Click) {
        queueEvent(id, UI_EVENT_CLICK, 0);
      } else {
        for (int32_t state : step.numbers) queueEvent(id, UI_EVENT_HOVER, state);
      }
      return StepResult::Done;
    }
    case StepKind::Toolbar: {
      const UiControl id = FirstOfKind(e, Kind::Toolbar);
      if (id == 0) {
        *failure = "no toolbar";
        return StepResult::Failed;
      }
      queueEvent(id, UI_EVENT_TOOLBAR, step.numbers[0]);
      return StepResult::Done;
    }
    case StepKind::Select: {
      const UiControl id = FirstOfKind(e, Kind::List);
      if (id == 0) {
        *failure = "no list";
        return StepResult::Failed;
      }
      const int32_t row = step.numbers[0];
      QueueLocked(e, [id, row] {
        Engine& engine = TheEngine();
        {
          std::lock_guard<std::mutex> lock(engine.mu);
          Control* list = Find(engine, id);
          // A disabled list cannot change its selection; the event is dropped below.
          if (list != nullptr && TakesInput(engine, id)) {
            list->selectedRow = row;
            RecordLine(engine, "selected " + std::to_string(id) + " " + std::to_string(row));
          }
        }
        SendEvent(id, UI_EVENT_SELECT, row);
      });
      return StepResult::Done;
    }
    case StepKind::AnswerInput:
      e.inputAnswers.push_back({Utf8ToUtf16(step.text), false});
      return StepResult::Done;
    case StepKind::AnswerInputDismiss:
      e.inputAnswers.push_back({u"", true});
      return StepResult::Done;
    case StepKind::AnswerBox:
      e.boxAnswers.push_back(step.numbers[0]);
      return StepResult::Done;
    case StepKind::AnswerBrowse:
      e.browseAnswers.push_back(Utf8ToUtf16(step.text));
      return StepResult::Done;
    case StepKind::AnswerBrowseCancel:
      e.browseAnswers.push_back(std::nullopt);
      return StepResult::Done;
    case StepKind::Close: {
      const UiControl window = FirstOfKind(e, Kind::Window);
      if (window == 0) {
        *failure = "no window";
        return StepResult::Failed;
      }
      queueEvent(window, UI_EVENT_CLOSED, 0);
      return StepResult::Done;
    }
    case StepKind::Invalid:
      *failure = step.text;
      return StepResult::Failed;
  }
  return StepResult::Failed;
}

// Runs the script from the top-level loop. Returns whether a step finished, so
// that the loop goes on at once.
bool AdvanceScript() {
  Engine& e = TheEngine();
  std::unique_lock<std::mutex> lock(e.mu);
  if (e.scriptStopped || e.stepIndex >= e.steps.size() || LoopEnded(e)) return false;
  Step& step = e.steps[e.stepIndex];
  if (!e.stepStarted) {
    e.stepStarted = true;
    e.stepStart = Clock::now();
    e.scanFrom = step.kind == StepKind::WaitNew ? e.record.lines().size() : 0;
  }
  std::string failure;
  switch (RunStep(e, step, &failure)) {
    case StepResult::Pending:
      return false;
    case StepResult::Done:
      ++e.stepIndex;
      e.stepStarted = false;
      return true;
    case StepResult::Failed:
      // A failed step ends the script and the program, so the test finishes
      // with a record that says why.
      if (!failure.empty()) {
        RecordLine(e, "error " + EscapeText(std::string_view(failure)) + ": " +
                          EscapeText(std::string_view(step.line)));
      }
      e.scriptStopped = true;
      lock.unlock();
      CloseWindow();
      return true;
  }
  return false;
}

void CheckDeadline() {
  Engine& e = TheEngine();
  std::unique_lock<std::mutex> lock(e.mu);
  const auto now = Clock::now();
  if (now < e.deadline || LoopEnded(e)) return;
  if (!e.deadlinePassed) {
    e.deadlinePassed = true;
    e.scriptStopped = true;
    RecordLine(e, "deadline");
    lock.unlock();
    CloseWindow();
  } else if (now >= e.deadline + kQuitGrace) {
    lock.unlock();
    Quit(-1);
  }
}

void Watchdog(uint64_t session) {
  Engine& e = TheEngine();
  while (true) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::lock_guard<std::mutex> lock(e.mu);
    if (e.session != session || e.loopReturned) return;
    if (Clock::now() >= e.deadline + kStuckGrace) {
      RecordLine(e, "stuck");
      std::_Exit(124);
    }
  }
}

void RunTimers(std::unique_lock<std::mutex>& lock) {
  Engine& e = TheEngine();
  const auto now = Clock::now();
  std::vector<UiControl> due;
  for (auto& [id, c] : e.controls) {
    if (c.kind == Kind::Timer && !c.destroyed && c.interval > 0 && !c.firing && c.due <= now) {
      due.push_back(id);
    }
  }
  for (UiControl id : due) {
    Control* timer = FindTimer(e, id);
    if (timer == nullptr || timer->interval <= 0 || timer->firing || LoopEnded(e)) continue;
    timer->due = Clock::now() + std::chrono::milliseconds(timer->interval);
    // A handler that pumps messages must not see its own timer fire inside it.
    timer->firing = true;
    RecordLine(e, "tick " + std::to_string(id));
    lock.unlock();
    SendEvent(id, UI_EVENT_TIMER, 0);
    lock.lock();
    if (Control* again = FindTimer(e, id)) again->firing = false;
  }
}

}  // namespace

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Window:
      return "window";
    case Kind::Label:
      return "label";
    case Kind::Picture:
      return "picture";
    case Kind::Progress:
      return "progress";
    case Kind::Toolbar:
      return "toolbar";
    case Kind::List:
      return "list";
    case Kind::Timer:
      return "timer";
  }
  return "?";
}

Engine& TheEngine() {
  static Engine* engine = new Engine;
  return *engine;
}

bool OnUiThread() { return TheEngine().uiThread.load() == std::this_thread::get_id(); }

bool LoopEnded(const Engine& e) { return e.quitRequested || e.loopReturned; }

void RecordLine(Engine& e, std::string line) {
  e.record.Add(std::move(line));
  e.wake.notify_all();
}

Control* Find(Engine& e, UiControl id) {
  const auto it = e.controls.find(id);
  if (it == e.controls.end() || it->second.destroyed || it->second.kind == Kind::Timer) {
    return nullptr;
  }
  return &it->second;
}

Control* FindTimer(Engine& e, UiControl id) {
  const auto it = e.controls.find(id);
  if (it == e.controls.end() || it->second.destroyed || it->second.kind != Kind::Timer) {
    return nullptr;
  }
  return &it->second;
}

UiControl FirstOfKind(Engine& e, Kind kind) {
  for (auto& [id, c] : e.controls) {
    if (!c.destroyed && c.kind == kind) return id;
  }
  return 0;
}

bool RunOnUi(const std::function<void()>& fn) {
  Engine& e = TheEngine();
  if (OnUiThread()) {
    fn();
    return true;
  }
  std::unique_lock<std::mutex> lock(e.mu);
  if (!e.started || LoopEnded(e)) return false;
  auto call = std::make_shared<Call>();
  call->run = fn;
  call->order = e.nextCallOrder++;
  e.calls.push_back(call);
  e.wake.notify_all();
  e.finished.wait(lock, [&] {
    return call->state == Call::State::Done || call->state == Call::State::Abandoned ||
           (call->state == Call::State::Queued && LoopEnded(e));
  });
  if (call->state == Call::State::Done) return true;
  call->state = Call::State::Abandoned;
  return false;
}

void QueueLocked(Engine& e, std::function<void()> run) {
  auto call = std::make_shared<Call>();
  call->run = std::move(run);
  call->order = e.nextCallOrder++;
  e.calls.push_back(std::move(call));
  e.wake.notify_all();
}

int32_t SendEvent(UiControl id, int32_t code, int32_t a) {
  Engine& e = TheEngine();
  std::unique_lock<std::mutex> lock(e.mu);
  const auto it = e.controls.find(id);
  if (it == e.controls.end() || it->second.destroyed ||
      (IsInputEvent(code) && !TakesInput(e, id))) {
    RecordLine(
        e, "dropped " + std::to_string(id) + " " + std::to_string(code) + " " + std::to_string(a));
    return 0;
  }
  const UiEventCallback callback = it->second.callback;
  void* context = it->second.context;
  RecordLine(e,
             "event " + std::to_string(id) + " " + std::to_string(code) + " " + std::to_string(a));
  lock.unlock();
  return callback == nullptr ? 0 : callback(context, code, a, 0, 0, 0);
}

void ProcessOnce() {
  Engine& e = TheEngine();
  std::unique_lock<std::mutex> lock(e.mu);
  // Only what was queued before this pass: a call that queues another (or a
  // handler that pumps) cannot keep the pass going for ever.
  const uint64_t last = e.nextCallOrder - 1;
  while (!e.calls.empty() && e.calls.front()->order <= last && !LoopEnded(e)) {
    const std::shared_ptr<Call> call = e.calls.front();
    e.calls.pop_front();
    if (call->state != Call::State::Queued) continue;
    call->state = Call::State::Running;
    lock.unlock();
    call->run();
    lock.lock();
    call->state = Call::State::Done;
    e.finished.notify_all();
  }
  if (!LoopEnded(e)) RunTimers(lock);
}

void ProcessFromHandler() {
  {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> lock(e.mu);
    for (auto& held : e.heldForPump) QueueLocked(e, std::move(held));
    e.heldForPump.clear();
  }
  ProcessOnce();
}

int32_t RunLoop() {
  Engine& e = TheEngine();
  if (!OnUiThread()) return 0;
  {
    std::lock_guard<std::mutex> lock(e.mu);
    if (LoopEnded(e)) return e.quitCode;
  }
  while (true) {
    ProcessOnce();
    const bool progressed = AdvanceScript();
    CheckDeadline();
    std::unique_lock<std::mutex> lock(e.mu);
    if (e.quitRequested) break;
    if (progressed || !e.calls.empty()) continue;
    auto until = std::min(Clock::now() + kLongestSleep, e.deadline);
    for (auto& [id, c] : e.controls) {
      if (c.kind == Kind::Timer && !c.destroyed && c.interval > 0 && !c.firing) {
        until = std::min(until, c.due);
      }
    }
    e.wake.wait_until(lock, until);
  }
  std::lock_guard<std::mutex> lock(e.mu);
  e.loopReturned = true;
  e.calls.clear();
  e.finished.notify_all();
  return e.quitCode;
}

void Quit(int32_t code) {
  Engine& e = TheEngine();
  std::lock_guard<std::mutex> lock(e.mu);
  RecordLine(e, "quit " + std::to_string(code));
  if (!e.quitRequested) {
    e.quitRequested = true;
    e.quitCode = code;
  }
  e.wake.notify_all();
  e.finished.notify_all();
}

void StartSession(void* /*libraryHandle*/) {
  Engine& e = TheEngine();
  uint64_t session = 0;
  {
    std::lock_guard<std::mutex> lock(e.mu);
    session = ++e.session;
    e.uiThread = std::this_thread::get_id();
    e.started = true;
    e.loopReturned = e.quitRequested = false;
    e.quitCode = 0;
    e.controls.clear();
    e.nextId = 1;
    // Callers still waiting from an earlier session give up.
    for (auto& call : e.calls) call->state = Call::State::Abandoned;
    e.calls.clear();
    e.finished.notify_all();
    e.record.Open(EnvironmentText("TW_UI_RECORD"));
    e.documents = Utf8ToUtf16(EnvironmentText("TW_UI_DOCUMENTS"));
    e.deadline = Clock::now() + std::chrono::milliseconds(DeadlineFromEnvironment());
    e.deadlinePassed = false;
    e.inputAnswers.clear();
    e.boxAnswers.clear();
    e.browseAnswers.clear();
    e.steps.clear();
    e.stepIndex = 0;
    e.stepStarted = false;
    e.scriptStopped = false;
    e.scanFrom = 0;
    const std::string scriptPath = EnvironmentText("TW_UI_SCRIPT");
    if (!scriptPath.empty()) {
      std::ifstream in(scriptPath, std::ios::binary);
      if (in) {
        std::ostringstream content;
        content << in.rdbuf();
        e.steps = ParseScript(content.str());
      } else {
        Step unreadable;
        unreadable.line = "script " + scriptPath;
        unreadable.text = "cannot read the script";
        e.steps.push_back(std::move(unreadable));
      }
    }
  }
  std::thread(Watchdog, session).detach();
}

}  // namespace tw::scripted
