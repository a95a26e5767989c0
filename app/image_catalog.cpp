#include "app/image_catalog.h"

#include <vector>

#include "app/app_state.h"
#include "app/target_path.h"
#include "text/convert.h"
#include "text/path_separator.h"
#include "text/system_texts.h"
#include "ui_engine/ui.h"
#include "web/share_host.h"

namespace tw {

namespace {

int32_t CatalogColumnWidth(UiControl list) {
  const double width = static_cast<double>(ui::GetNumber(list, UI_PROP_CLIENT_WIDTH));
  return static_cast<int32_t>(width / 3 + 40);
}

}  // namespace

Text ImageCatalog() {
  // The names become GBK once; the host is read anew, as the setting may change.
  static const std::vector<Text> names = [] {
    std::vector<Text> gbk;
    for (const CatalogImage& image : kCatalogImages) gbk.push_back(Utf8ToGbk(image.nameUtf8));
    return gbk;
  }();
  const Text host = ShareHost();
  Text catalog;
  for (std::size_t i = 0; i < std::size(kCatalogImages); ++i) {
    if (i > 0) catalog += "\r\n";
    catalog += names[i] + "----https://" + host + "/t/" + kCatalogImages[i].shareCode + "----" +
               kCatalogImages[i].sizeText;
  }
  return catalog;
}

Text DefaultSaveFolder() {
  Text folder = ui::DocumentsFolder();
  if (!folder.empty() && !EndsWithSeparator(folder)) folder += kPathSeparator;
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
