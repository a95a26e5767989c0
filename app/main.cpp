// Tarnwick: downloads Windows installation images from the built-in catalog.
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "app/app_state.h"
#include "app/download_progress.h"
#include "app/main_window.h"
#include "download/download_registry.h"
#include "ui_engine/ui.h"

namespace {

bool DownloadsRegistered() {
  const tw::RegistryHandle registry = tw::CurrentDownloadRegistry();
  if (!registry) return false;
  std::lock_guard guard(registry->registryLock);
  return !registry->entries.empty();
}

// Frees the program-wide state. Downloads still running are not stopped.
void ExitRoutine() {
  tw::ReleaseDownloadRegistry();
  tw::AppState& app = tw::App();
  app.saveFolder.clear();
  app.selectedFileName.clear();
  app.directUrl.clear();
  app.browseInitialFolder.clear();
}

}  // namespace

int main() {
  tw::CreateDownloadRegistry();
  if (!tw::ui::Start()) {
    ExitRoutine();
    return EXIT_FAILURE;
  }
  tw::CreateMainWindow();
  tw::ShowMainWindow();
  const int code = tw::ui::Engine().EngineRunMessageLoop();

  const bool downloading = DownloadsRegistered() || tw::DownloadStarterRunning();
  ExitRoutine();
  if (downloading) {
    // Closing the window ends a running download with the process: its threads
    // must not meet the program's static objects being destroyed under them.
    std::fflush(nullptr);
    std::_Exit(code);
  }
  return code;
}
