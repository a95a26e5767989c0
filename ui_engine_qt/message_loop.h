// The application object and the program's message loop.
#pragma once

#include <cstdint>

namespace tw::engine {

// Creates the application on the calling thread, which becomes the UI thread.
// False when no display platform is available (Qt would abort instead).
bool StartApplication();

// Runs until QuitLoop. A quit asked for while no loop runs stays pending and
// ends the next loop at once, with its code.
int32_t RunLoop();
void QuitLoop(int32_t code);

// Handles what is already queued, posted calls from other threads included.
void ProcessQueued();

}  // namespace tw::engine
