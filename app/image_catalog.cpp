#include "app/image_catalog.h"

#include "app/app_state.h"
#include "text/texts.h"
#include "ui_engine/ui.h"
#include "web/share_host.h"

namespace tw {

const char* const kShareCodes[kCatalogSize] = {"qQzEbyFvQf2i", "ZNJzM3jE7Bzm", "BfuIBfq6bu2a",
                                               "2YnIbmfEfuyq"};

namespace {

int32_t CatalogColumnWidth(UiControl list) {
  const double width = static_cast<double>(ui::GetNumber(list, UI_PROP_CLIENT_WIDTH));
  return static_cast<int32_t>(width / 3 + 40);
}

}  // namespace

Text ImageCatalog() {
  const SystemTexts& t = Texts();
  const Text host = ShareHost();
  Text catalog;
  for (int i = 0; i < kCatalogSize; ++i) {
    if (i > 0) catalog += "\r\n";
    catalog += t.catalogNames[i] + "----https://" + host + "/t/" + kShareCodes[i] + "----" +
               t.catalogSizes[i];
  }
  return catalog;
}

Text DefaultSaveFolder() {
  Text folder = ui::DocumentsFolder();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + Texts().defaultFolderName;
}

void LoadCatalog() {
  const SystemTexts& t = Texts();
  AppState& app = App();
  const UiControl list = app.window.catalogList;

  ui::AddColumn(list, t.columnImage, CatalogColumnWidth(list));
  ui::AddColumn(list, t.columnSize, CatalogColumnWidth(list));
  ui::AddColumn(list, t.columnLink, 0);  // hidden: read back by the download request

  app.saveFolder = DefaultSaveFolder();
  ui::SetText(app.window.saveFolderLabel, DefaultSaveFolder());

  for (const Text& line : SplitText(ImageCatalog(), "\r\n")) {
    const std::vector<Text> fields = SplitText(line, "----");
    if (fields.size() < 3) continue;  // not a catalog entry
    const int32_t row = ui::AddRow(list);
    ui::SetCell(list, row, 0, fields[0]);
    ui::SetCell(list, row, 1, fields[2]);
    ui::SetCell(list, row, 2, fields[1]);
  }
  ui::SetNumber(list, UI_PROP_SELECTED_ROW, 0);
}

}  // namespace tw
