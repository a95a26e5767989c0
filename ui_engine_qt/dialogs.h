// The modal boxes; what they show is declared with the shared engine hooks.
#pragma once

#include "ui_engine_common/engine_hooks.h"

namespace tw::engine {

// Closes every open box as if dismissed, so a message loop asked to end is not
// kept running by a box nested in it.
void DismissOpenBoxes();

}  // namespace tw::engine
