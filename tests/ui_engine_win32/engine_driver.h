// Helpers for driving UiEngine.dll from a test: texts in and out, the engine
// started on the test's main thread, pumping while another thread works, and
// finding the engine's windows the way a user's tools would.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "tests/support/engine_numbers.h"
#include "ui_engine/engine_abi.h"

namespace tw::testing {

// A text buffer made by the engine, released when it goes.
class EngineText {
 public:
  explicit EngineText(const std::wstring& text);
  ~EngineText();
  EngineText(const EngineText&) = delete;
  EngineText& operator=(const EngineText&) = delete;
  const UiText* get() const { return text_; }
  UiText* mutable_get() { return text_; }

 private:
  UiText* text_;
};

// Takes over a buffer the engine returned and gives its text.
std::wstring TakeText(UiText* text);

// Starts the engine once per process; the calling thread becomes its UI thread.
bool StartEngineHere();

// Runs the UI thread's messages until `done` holds, for at most `limit`.
template <class Predicate>
bool PumpUntil(Predicate&& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    EngineProcessMessages();
    Sleep(1);
  }
  return true;
}

// The window that carries `control` ("UiEngine_Control"), searched from `root` down.
HWND WindowOfControl(HWND root, UiControl control);
// The top-level window of `className` that `thread` shows, waiting up to `limit`.
HWND WaitForThreadWindow(DWORD thread, const wchar_t* className, std::chrono::milliseconds limit);
// A child of `parent` of the class, with the text if one is given; null when none.
HWND FindChild(HWND parent, const wchar_t* className, const wchar_t* text = nullptr);
int CountChildren(HWND parent, const wchar_t* className);
std::wstring TextOf(HWND window);

// The top-level window of this thread that carries `control`; null when none.
HWND TopWindowOf(UiControl control);
// Where `window` sits within its parent's client area (its screen place for a
// top-level window).
RECT PlaceInParent(HWND window);

// Plays the user of an engine box: waits on a thread of its own for the box
// the UI thread opens and acts on it.
class BoxAnswerer {
 public:
  static constexpr wchar_t kBoxClass[] = L"TarnwickEngineBox";

  explicit BoxAnswerer(std::function<void(HWND)> act);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  // Joins and tells whether a box was found.
  bool Found();

 private:
  DWORD uiThread_;
  HWND box_ = nullptr;
  std::thread thread_;
};

int32_t SetText(UiControl control, const std::wstring& text);
std::wstring GetText(UiControl control);

}  // namespace tw::testing
