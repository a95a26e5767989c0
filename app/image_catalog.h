// The built-in catalog of images and the list that shows it.
#pragma once

#include "text/text.h"

namespace tw {

// One image of the catalog: its name (UTF-8 here, GBK in the catalog text),
// the code of its share link on the share host, and its size as shown.
struct CatalogImage {
  const char* nameUtf8;
  const char* shareCode;
  const char* sizeText;
};

inline constexpr CatalogImage kCatalogImages[] = {
    {"win10多版本2004 64位（推荐）", "qQzEbyFvQf2i", "4.94GB"},
    {"win10多版本1909 64位", "ZNJzM3jE7Bzm", "5.14GB"},
    {"win10多版本1903 64位", "BfuIBfq6bu2a", "5.02GB"},
    {"win7旗舰最新版64位", "2YnIbmfEfuyq", "3.19GB"},
};

// Lines joined by "\r\n", each: name "----" share link "----" size text. The
// links are built on the current share host.
Text ImageCatalog();

// The documents folder + "/下载的系统镜像" (the bare folder name when there is no
// documents folder). Only named, never created.
Text DefaultSaveFolder();

// Fills the catalog list, selects row 0 and shows the default save folder.
void LoadCatalog();

}  // namespace tw
