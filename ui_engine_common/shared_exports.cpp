// The exports that only unpack their arguments, the same in every engine.
#include <cstdlib>

#include "ui_engine_common/engine_hooks.h"
#include "ui_engine_common/text_buffer.h"

using tw::engine::ControlKind;
using tw::engine::CreateControl;

extern "C" {

UiText* MakeTextBuffer(const uint16_t* units, int32_t unitCount) {
  return tw::engine::NewTextBuffer(reinterpret_cast<const char16_t*>(units),
                                   unitCount > 0 ? static_cast<size_t>(unitCount) : 0);
}

void ReleaseTextBuffer(UiText* text) { std::free(text); }

// CreateControl_Window and the others: each kind's export has the kind's name.
#define TW_CREATE_EXPORT(kind)                                                                    \
  UiControl CreateControl_##kind(UiControl parent, int32_t left, int32_t top, int32_t width,      \
                                 int32_t height, UiEventCallback callback, void* context) {       \
    return CreateControl(ControlKind::kind, parent, left, top, width, height, callback, context); \
  }
TW_CREATE_EXPORT(Window)
TW_CREATE_EXPORT(Label)
TW_CREATE_EXPORT(PictureBox)
TW_CREATE_EXPORT(ProgressBar)
TW_CREATE_EXPORT(Toolbar)
TW_CREATE_EXPORT(ListView)
#undef TW_CREATE_EXPORT

// Controls are child windows (or records) that move with their window already.
void ControlSyncGeometry(UiControl, int32_t) {}

}  // extern "C"
