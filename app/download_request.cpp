#include "app/download_request.h"

#include "app/app_state.h"
#include "app/download_progress.h"
#include "app/main_window.h"
#include "app/target_path.h"
#include "script/regex_object.h"
#include "text/system_texts.h"
#include "ui_engine/ui.h"
#include "web/share_link_resolver.h"

namespace tw {

void RequestDownload() {
  const SystemTexts& t = Texts();
  AppState& app = App();
  RegexObject regex;
  EnterBusyState();

  bool dismissed = false;
  app.selectedFileName = ui::InputBox(t.askFileName, t.confirm, &dismissed);
  app.selectedFileName = CleanFileName(regex, app.selectedFileName);

  if (dismissed) {
    LeaveBusyState();
    return;
  }
  if (app.selectedFileName.empty()) {
    ui::MessageBox("  ", t.noFileName, t.confirm);
    LeaveBusyState();
    return;
  }
  // The download writes to exactly the path the user confirms.
  app.targetPath =
      DownloadTargetPath(ui::GetText(app.window.saveFolderLabel), app.selectedFileName);
  if (ui::MessageBox(t.checkFileName, app.targetPath, t.confirmOrCancel) != 0) {
    LeaveBusyState();
    return;
  }

  const UiControl list = app.window.catalogList;
  const auto row = static_cast<int32_t>(ui::GetNumber(list, UI_PROP_SELECTED_ROW));
  const Text link = ui::GetCell(list, row, 2);
  // Blocks the UI thread; the fetches keep the window painted meanwhile, and
  // "取消下载" or closing the window ends them at their next wait.
  app.shareLink = link;
  app.resolving = true;
  app.resolutionAbandoned = false;
  ui::SetBusyCursor(app.window.frame, true);
  app.directUrl = ShareLinkResolver(link, &app.resolvedSize,
                                    [&app] { return app.resolutionAbandoned || app.closing; });
  ui::SetBusyCursor(app.window.frame, false);
  app.resolving = false;
  if (app.resolutionAbandoned || app.closing) {
    LeaveBusyState();
    return;
  }

  // The window stays busy until the download reports its end.
  LaunchBeginDownload();
}

void ChooseSaveFolder() {
  const Text folder = BrowseForFolder(Text{}, false, std::nullopt, true);
  if (folder.empty()) return;
  App().saveFolder = folder;
  ui::SetText(App().window.saveFolderLabel, folder);
}

Text BrowseForFolder(const std::optional<Text>& title, bool includeFiles,
                     const std::optional<Text>& initialFolder, bool editBox) {
  // The folder browser offers folders only; includeFiles is accepted for callers
  // that ask for files too and has no effect on it.
  (void)includeFiles;
  App().browseInitialFolder = initialFolder.value_or(Text{});
  const Text chosen =
      ui::BrowseForFolder(title.value_or(Texts().chooseFolder), App().browseInitialFolder, editBox);
  return Trim(chosen);
}

}  // namespace tw
