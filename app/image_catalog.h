// The built-in catalog of images and the list that shows it.
#pragma once

#include "text/text.h"

namespace tw {

inline constexpr int kCatalogSize = 4;

// The share codes of the four images, in catalog order.
extern const char* const kShareCodes[kCatalogSize];

// Lines joined by "\r\n", each: name "----" share link "----" size text. The
// links are built on the current share host.
Text ImageCatalog();

// The documents folder + "/下载的系统镜像" (the bare folder name when there is no
// documents folder). Only named, never created.
Text DefaultSaveFolder();

// Fills the catalog list, selects row 0 and shows the default save folder.
void LoadCatalog();

}  // namespace tw
