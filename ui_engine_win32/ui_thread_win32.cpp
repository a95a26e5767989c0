#include "ui_engine_win32/ui_thread_win32.h"

#include <atomic>
#include <memory>

#include "ui_engine_common/call_queue.h"
#include "ui_engine_win32/control_win32.h"
#include "ui_engine_win32/focus_win32.h"

namespace tw::engine {
namespace {

constexpr UINT kRunQueued = WM_APP + 1;
constexpr UINT kDestroyLater = WM_APP + 2;

using Queued = std::function<void()>;

std::atomic<DWORD> gUiThread{0};
HWND gMessageWindow = nullptr;
CallQueue gCalls;
int gLoopDepth = 0;  // UI thread only

void RunQueued(Queued* posted) {
  const std::unique_ptr<Queued> run(posted);
  (*run)();
}

LRESULT CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kRunQueued:
      RunQueued(reinterpret_cast<Queued*>(lParam));
      return 0;
    case kDestroyLater:
      DestroyWindow(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_TIMER:
      TimerTicked(static_cast<UiControl>(wParam));
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

bool StartUiThread() {
  if (gMessageWindow != nullptr) {
    gUiThread.store(GetCurrentThreadId());
    return true;
  }
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = MessageWindowProc;
  windowClass.hInstance = ModuleInstance();
  windowClass.lpszClassName = L"TarnwickEngineCalls";
  RegisterClassExW(&windowClass);
  gMessageWindow = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, ModuleInstance(), nullptr);
  if (gMessageWindow == nullptr) return false;
  // Without a desktop (Wine with no X display) the message window works but
  // no window can show: the engine cannot run.
  HWND probe = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                               nullptr, ModuleInstance(), nullptr);
  if (probe == nullptr) {
    DestroyWindow(gMessageWindow);
    gMessageWindow = nullptr;
    return false;
  }
  DestroyWindow(probe);
  gUiThread.store(GetCurrentThreadId());
  return true;
}

bool OnUiThread() {
  const DWORD ui = gUiThread.load();
  return ui != 0 && ui == GetCurrentThreadId();
}

HWND MessageWindow() { return gMessageWindow; }

bool RunOnUiThread(const std::function<void()>& body) {
  if (gUiThread.load() == 0) return false;
  if (OnUiThread()) {
    body();
    return true;
  }
  return gCalls.Call(body, [](Queued run) {
    auto posted = std::make_unique<Queued>(std::move(run));
    if (!PostMessageW(gMessageWindow, kRunQueued, 0, reinterpret_cast<LPARAM>(posted.get()))) {
      return false;
    }
    posted.release();  // the message window's now
    return true;
  });
}

void DestroyLater(HWND window) {
  // From inside the window's own event, the window procedure still runs on it.
  if (!PostMessageW(gMessageWindow, kDestroyLater, 0, reinterpret_cast<LPARAM>(window))) {
    DestroyWindow(window);
  }
}

int32_t RunLoop() {
  ++gLoopDepth;
  gCalls.SetLoopEnded(false);
  MSG message{};
  int32_t code = 0;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      code = static_cast<int32_t>(message.wParam);
      break;
    }
    if (got < 0) break;
    if (HandleWindowKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (--gLoopDepth == 0) gCalls.SetLoopEnded(true);
  return code;
}

// Modal boxes see the quit request in their own loops, put it back and close,
// so the outer loop ends too.
void QuitLoop(int32_t code) { PostQuitMessage(code); }

void ProcessQueued() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (HandleWindowKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace tw::engine
