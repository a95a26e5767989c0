#include "app/main_window.h"

#include <chrono>
#include <thread>

#include "app/download_progress.h"
#include "app/download_request.h"
#include "app/image_catalog.h"
#include "text/message_pump.h"
#include "text/system_texts.h"
#include "ui_engine/ui.h"

namespace tw {

namespace {

using ui::ControlKind;

// The hover animation advances one step per system tick. Ticks are counted at
// the usual desktop timer granularity, so that a slide of eight steps takes
// about an eighth of a second whatever the clock's resolution.
constexpr int64_t kTickGranularityMs = 16;

int64_t SystemTick() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  return ms - ms % kTickGranularityMs;
}

void DelayStep() {
  const int64_t start = SystemTick();
  while (SystemTick() - start <= 1) {
    ProcessPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

FaceButton CreateFaceButton(UiControl parent, ui::Geometry face, ui::Geometry caption,
                            const Text& text, void (*onClick)()) {
  FaceButton button;
  button.face = ui::CreateControl(ControlKind::PictureBox, parent, face);
  const UiControl faceControl = button.face;
  button.caption =
      ui::CreateControl(ControlKind::Label, button.face, caption,
                        [faceControl, onClick](int32_t code, int32_t a, int32_t, int32_t, int32_t) {
                          if (code == UI_EVENT_CLICK) onClick();
                          if (code == UI_EVENT_HOVER) HoverSlide(faceControl, a);
                          return 0;
                        });
  ui::SetText(button.caption, text);
  return button;
}

int32_t OnFrameEvent(int32_t code) {
  if (code == UI_EVENT_CREATED) ui::ClearBackground(App().window.frame);
  if (code == UI_EVENT_CLOSED) {
    // The program ends now, in whatever phase: a resolution in progress is
    // abandoned and nothing new is started.
    App().closing = true;
    ui::Engine().EngineQuitMessageLoop(0);
  }
  return 0;
}

void OnCatalogTimer() {
  // Stopped before anything else, so the catalog is loaded exactly once.
  ui::Engine().EngineSetTimerInterval(App().window.catalogTimer, 0);
  LoadCatalog();
}

}  // namespace

void CreateMainWindow() {
  const SystemTexts& t = Texts();
  MainWindow& w = App().window;
  w.frame = ui::CreateControl(
      ControlKind::Window, 0, {50, 50, 522, 442},
      [](int32_t code, int32_t, int32_t, int32_t, int32_t) { return OnFrameEvent(code); });
  ui::SetText(w.frame, t.windowTitle);

  w.mainToolbar = ui::CreateControl(ControlKind::Toolbar, w.frame, {1, 32, 517, 28},
                                    [](int32_t code, int32_t a, int32_t, int32_t, int32_t) {
                                      if (code == UI_EVENT_TOOLBAR) ShowAboutOrHelp(a);
                                      return 0;
                                    });
  ui::AddToolbarButton(w.mainToolbar, t.about);
  ui::AddToolbarButton(w.mainToolbar, t.help);

  w.downloadButton = CreateFaceButton(w.frame, {64, 64, 120, 57}, {1, 2, 117, 54}, t.downloadButton,
                                      &RequestDownload);
  w.cancelButton = CreateFaceButton(w.frame, {200, 64, 112, 56}, {1, 2, 110, 53}, t.cancelButton,
                                    &CancelDownload);
  w.folderButton = CreateFaceButton(w.frame, {328, 64, 120, 56}, {1, 2, 118, 53}, t.folderButton,
                                    &ChooseSaveFolder);

  w.saveFolderLabel = ui::CreateControl(ControlKind::Label, w.frame, {16, 128, 496, 24});
  ui::SetAccessibleName(w.saveFolderLabel, t.saveFolderName);
  w.catalogList = ui::CreateControl(ControlKind::ListView, w.frame, {16, 152, 496, 240});
  ui::SetAccessibleName(w.catalogList, t.catalogListName);
  w.statusLabel = ui::CreateControl(ControlKind::Label, w.frame, {8, 400, 192, 26});
  ui::SetText(w.statusLabel, t.initialStatus);
  // Read out at every report, so a user who cannot see it still hears the download go on.
  ui::SetNumber(w.statusLabel, UI_PROP_LIVE, 1);
  w.progressCaption = ui::CreateControl(ControlKind::Label, w.frame, {200, 400, 56, 26});
  ui::SetText(w.progressCaption, t.progressCaption);
  w.progressBar = ui::CreateControl(ControlKind::ProgressBar, w.frame, {256, 400, 256, 32});
  ui::SetAccessibleName(w.progressBar, t.progressBarName);
  ui::SetNumber(w.progressBar, UI_PROP_RANGE_MAX, 100);
  ui::SetNumber(w.progressBar, UI_PROP_VALUE, 0);

  w.catalogTimer = ui::CreateTimer(0, [](int32_t code, int32_t, int32_t, int32_t, int32_t) {
    if (code == UI_EVENT_TIMER) OnCatalogTimer();
    return 0;
  });
}

void ShowMainWindow() {
  ui::Engine().ControlShow(App().window.frame);
  // The catalog follows about 100 ms after the window appears.
  ui::Engine().EngineSetTimerInterval(App().window.catalogTimer, 100);
}

void EnterBusyState() {
  const MainWindow& w = App().window;
  for (UiControl c : {w.catalogList, w.downloadButton.face, w.downloadButton.caption,
                      w.folderButton.face, w.folderButton.caption}) {
    ui::Engine().ControlSetEnabled(c, 0);
  }
  ui::Engine().ControlSetHoverLevel(w.downloadButton.face, 0);
  ui::Engine().ControlSetHoverLevel(w.folderButton.face, 0);
}

void LeaveBusyState() {
  const MainWindow& w = App().window;
  for (UiControl c : {w.catalogList, w.downloadButton.face, w.downloadButton.caption,
                      w.folderButton.face, w.folderButton.caption}) {
    ui::Engine().ControlSetEnabled(c, 1);
  }
}

void HoverSlide(UiControl face, int32_t state) {
  const auto& engine = ui::Engine();
  const int32_t step = state != 0 ? 1 : -1;
  // Each step reads the level afresh: a slide nested inside this one (through
  // the messages processed between steps) leaves its level for this one to go on from.
  engine.ControlSetHoverLevel(face, state != 0 ? 0 : 8);
  for (int i = 0; i < 8; ++i) {
    engine.ControlSetHoverLevel(face, engine.ControlGetHoverLevel(face) + step);
    DelayStep();
  }
}

void ShowAboutOrHelp(int32_t buttonIndex) {
  const SystemTexts& t = Texts();
  if (buttonIndex == 0) ui::MessageBox(t.about, t.aboutNotice, t.ok);
  if (buttonIndex == 1) ui::SystemBox(t.help, t.helpMessage);
}

}  // namespace tw
