#include "ui_engine_win32/focus_win32.h"

#include <vector>

#include "ui_engine_common/reading_order.h"
#include "ui_engine_win32/common_controls_win32.h"
#include "ui_engine_win32/face_label_win32.h"
#include "ui_engine_win32/frame_win32.h"
#include "ui_engine_win32/list_view_win32.h"

namespace tw::engine {
namespace {

struct Stop {
  HWND window;
  int button;   // a toolbar button's index; -1 for a control that is one stop
  Place place;  // within the program window
  bool open;    // takes input now
};

struct Search {
  HWND frame;
  std::vector<Stop> stops;
};

Place PlaceIn(HWND frame, HWND window, RECT area) {
  MapWindowPoints(window, frame, reinterpret_cast<POINT*>(&area), 2);
  return {area.left, area.top, area.right - area.left, area.bottom - area.top};
}

bool IsCaption(const Control* control) {
  const auto* label = dynamic_cast<const TextLabel*>(control);
  return label != nullptr && label->IsCaption();
}

BOOL CALLBACK NoteStops(HWND window, LPARAM state) {
  auto* search = reinterpret_cast<Search*>(state);
  if (!IsWindowVisible(window)) return TRUE;
  Control* control = ControlOfWindow(window);
  const bool open = EnabledWithin(window);
  if (auto* bar = dynamic_cast<ToolBar*>(control)) {
    for (int button = 0; button < bar->ButtonCount(); ++button) {
      search->stops.push_back({window, button,
                               PlaceIn(search->frame, window, bar->ButtonArea(button)),
                               open && bar->ButtonEnabled(button)});
    }
  } else if (IsCaption(control) || dynamic_cast<ListView*>(control) != nullptr) {
    RECT client{};
    GetClientRect(window, &client);
    search->stops.push_back({window, -1, PlaceIn(search->frame, window, client), open});
  }
  return TRUE;
}

// Every stop of the program window, open or not, in reading order.
std::vector<Stop> StopsOf(HWND frame) {
  Search search{frame, {}};
  EnumChildWindows(frame, NoteStops, reinterpret_cast<LPARAM>(&search));
  std::vector<Place> places;
  for (const Stop& stop : search.stops) places.push_back(stop.place);
  std::vector<Stop> ordered;
  for (const size_t index : ReadingOrder(places)) ordered.push_back(search.stops[index]);
  return ordered;
}

// The stop that `window` (with `button` for a toolbar) is; -1 for none.
int StopIndex(const std::vector<Stop>& stops, HWND window) {
  const auto* bar = dynamic_cast<const ToolBar*>(ControlOfWindow(window));
  const int button = bar != nullptr ? bar->FocusedButton() : -1;
  for (size_t index = 0; index < stops.size(); ++index) {
    if (stops[index].window == window && stops[index].button == button) {
      return static_cast<int>(index);
    }
  }
  return -1;
}

// The next open stop from `current` (from none: the first or the last); -1 for none.
int NextOpen(const std::vector<Stop>& stops, int current, bool forward) {
  const int count = static_cast<int>(stops.size());
  int at = current;
  for (int tried = 0; tried < count; ++tried) {
    at = StepFocus(at, count, forward);
    if (stops[static_cast<size_t>(at)].open) return at;
  }
  return -1;
}

void Focus(const Stop& stop) {
  if (auto* bar = dynamic_cast<ToolBar*>(ControlOfWindow(stop.window)); bar != nullptr) {
    bar->FocusButton(stop.button);
  } else {
    SetFocus(stop.window);
  }
}

FrameWindow* FrameOf(HWND window) {
  return dynamic_cast<FrameWindow*>(ControlOfWindow(GetAncestor(window, GA_ROOT)));
}

bool Held(int key) { return (GetKeyState(key) & 0x8000) != 0; }

}  // namespace

bool HandleWindowKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.hwnd == nullptr) return false;
  FrameWindow* frame = FrameOf(message.hwnd);
  if (frame == nullptr) return false;
  // With Ctrl or Alt a key means something else.
  if (Held(VK_CONTROL) || Held(VK_MENU)) return false;
  if (message.wParam == VK_TAB) {
    // From now on the controls show where the focus is, as after any key that moves it.
    SendMessageW(frame->Window(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    const std::vector<Stop> stops = StopsOf(frame->Window());
    const int next = NextOpen(stops, StopIndex(stops, GetFocus()), !Held(VK_SHIFT));
    if (next >= 0) Focus(stops[static_cast<size_t>(next)]);
    return true;
  }
  if ((message.wParam != VK_RETURN && message.wParam != VK_SPACE) || Held(VK_SHIFT)) return false;
  // A key held down presses once, as a mouse button held down clicks once.
  const bool repeated = (message.lParam & (LPARAM{1} << 30)) != 0;
  HWND focus = GetFocus();
  Control* focused = ControlOfWindow(focus);
  if (IsCaption(focused)) {
    if (!repeated && EnabledWithin(focus)) dynamic_cast<TextLabel*>(focused)->Press();
    return true;
  }
  if (auto* bar = dynamic_cast<ToolBar*>(focused); bar != nullptr && bar->FocusedButton() >= 0) {
    if (!repeated) bar->PressFocusedButton();
    return true;
  }
  return false;
}

void RememberFocus(HWND window) {
  FrameWindow* frame = FrameOf(window);
  if (frame != nullptr && window != frame->Window()) frame->NoteFocus(window);
}

void RestoreFocus(HWND frameWindow) {
  auto* frame = dynamic_cast<FrameWindow*>(ControlOfWindow(frameWindow));
  if (frame == nullptr) return;
  HWND last = frame->LastFocus();
  if (last != nullptr && IsWindow(last) && IsChild(frameWindow, last) && IsWindowVisible(last) &&
      EnabledWithin(last)) {
    SetFocus(last);
    return;
  }
  const std::vector<Stop> stops = StopsOf(frameWindow);
  const int first = NextOpen(stops, -1, true);
  if (first >= 0) Focus(stops[static_cast<size_t>(first)]);
}

void HandFocusOn(HWND focused) {
  FrameWindow* frame = FrameOf(focused);
  if (frame == nullptr) return;
  const std::vector<Stop> stops = StopsOf(frame->Window());
  const int next = NextOpen(stops, StopIndex(stops, focused), true);
  if (next >= 0) {
    Focus(stops[static_cast<size_t>(next)]);
  } else {
    // Nothing takes input: the window keeps the keyboard, not a closed control.
    SetFocus(frame->Window());
  }
}

}  // namespace tw::engine
