// Preparing a download: the file name, the save folder, the direct URL.
#pragma once

#include <optional>

#include "text/text.h"

namespace tw {

// DownloadButton: asks for a file name, confirms the target path, resolves the
// selected image's share link and hands over to BeginDownload on a new thread.
void RequestDownload();

// FolderButton: lets the user pick the save folder; a cancelled browser keeps it.
void ChooseSaveFolder();

// Shows the folder browser. With no title given, "请选择一个文件夹"; a given empty
// title stays empty. Returns the chosen folder, or empty text.
Text BrowseForFolder(const std::optional<Text>& title = std::nullopt, bool includeFiles = false,
                     const std::optional<Text>& initialFolder = std::nullopt, bool editBox = false);

}  // namespace tw
