#include "ui_engine_qt/message_loop.h"

#include <QApplication>
#include <QEventLoop>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "ui_engine_qt/dialogs.h"
#include "ui_engine_qt/ui_thread.h"

namespace tw::engine {
namespace {

// Qt keeps pointers to these for the life of the application.
int gArgc = 1;
char gProgramName[] = "tarnwick";
char* gArgv[] = {gProgramName, nullptr};

QEventLoop* gLoop = nullptr;  // the running loop, if any
std::optional<int32_t> gPendingQuit;

bool HasEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

// Qt aborts the process when its platform cannot start, so the usual
// platforms are only tried when their display is named.
bool PlatformAvailable() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && platform[0] != '\0') {
    const std::string_view name(platform);
    if (name.starts_with("xcb")) return HasEnv("DISPLAY");
    if (name.starts_with("wayland")) return HasEnv("WAYLAND_DISPLAY");
    return true;
  }
  return HasEnv("DISPLAY") || HasEnv("WAYLAND_DISPLAY");
}

}  // namespace

bool StartApplication() {
  if (QCoreApplication::instance() != nullptr) {
    BindUiThread();
    return true;
  }
  if (!PlatformAvailable()) return false;
  // Lives as long as the process: threads may still call in while it exits.
  auto* app = new QApplication(gArgc, gArgv);
  // Closing the window is reported to the program, which ends the loop itself.
  app->setQuitOnLastWindowClosed(false);
  BindUiThread();
  return true;
}

int32_t RunLoop() {
  if (gPendingQuit.has_value()) {
    const int32_t code = *gPendingQuit;
    gPendingQuit.reset();
    return code;
  }
  QEventLoop loop;
  QEventLoop* outer = gLoop;
  gLoop = &loop;
  SetLoopEnded(false);
  const int32_t code = loop.exec();
  gLoop = outer;
  if (gLoop == nullptr) SetLoopEnded(true);
  return code;
}

void QuitLoop(int32_t code) {
  if (gLoop == nullptr) {
    gPendingQuit = code;
    return;
  }
  gLoop->exit(code);
  DismissOpenBoxes();
}

void ProcessQueued() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace tw::engine
