// The program's view of the UI engine: its exports with GBK texts.
#pragma once

#include <cstdint>
#include <functional>

#include "text/text.h"
#include "ui_engine/engine_abi.h"
#include "ui_engine/engine_loader.h"

namespace tw::ui {

// Handles one control's events: (code, a, b, c, d) -> result.
using EventHandler =
    std::function<int32_t(int32_t code, int32_t a, int32_t b, int32_t c, int32_t d)>;

// Loads and starts the engine; on failure prints one message to stderr and
// returns false. On success the calling thread becomes the UI thread and
// ProcessPendingMessages reaches the engine.
bool Start(const EngineSearch& search = {});

const EngineExports& Engine();

enum class ControlKind { Window, Label, PictureBox, ProgressBar, Toolbar, ListView };

struct Geometry {
  int32_t left, top, width, height;
};

// Creates a control whose events go to `handler` (which may be empty). Codes of
// 700 and above are answered with 0 without reaching it.
UiControl CreateControl(ControlKind kind, UiControl parent, Geometry geometry,
                        EventHandler handler = {});
UiControl CreateTimer(int32_t intervalMs, EventHandler handler);

void SetText(UiControl control, const Text& text);
Text GetText(UiControl control);
// What screen readers call a control that shows no caption of its own.
void SetAccessibleName(UiControl control, const Text& name);
void SetNumber(UiControl control, int32_t property, int64_t value);
int64_t GetNumber(UiControl control, int32_t property);
void ClearBackground(UiControl control);
void SetBusyCursor(UiControl window, bool busy);

int32_t AddToolbarButton(UiControl toolbar, const Text& caption);
int32_t AddColumn(UiControl list, const Text& title, int32_t width);
int32_t AddRow(UiControl list);
void SetCell(UiControl list, int32_t row, int32_t column, const Text& text);
Text GetCell(UiControl list, int32_t row, int32_t column);

int32_t MessageBox(const Text& title, const Text& message, const Text& captions);
Text InputBox(const Text& prompt, const Text& buttonCaption, bool* dismissed);
void SystemBox(const Text& title, const Text& message);
Text BrowseForFolder(const Text& title, const Text& initialFolder, bool editBox);
Text DocumentsFolder();

}  // namespace tw::ui
