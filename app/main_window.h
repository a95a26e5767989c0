// The main window: its controls, their events, the busy state and the button
// hover animation.
#pragma once

#include <cstdint>

#include "app/app_state.h"

namespace tw {

// Creates every control of the main window and binds its events. The window is
// shown by ShowMainWindow.
void CreateMainWindow();
void ShowMainWindow();

void EnterBusyState();
void LeaveBusyState();

// Slides the face's hover level up to 8 (state != 0) or down to 0, one step per
// system tick, processing pending messages between steps.
void HoverSlide(UiControl face, int32_t state);

// Toolbar: 0 shows the About box, 1 the Help box, others nothing.
void ShowAboutOrHelp(int32_t buttonIndex);

}  // namespace tw
