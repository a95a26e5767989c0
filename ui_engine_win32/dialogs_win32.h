// The desktop's own dialogs: the standard message box for Help, the folder
// browser and the user's documents folder.
#pragma once

#include <string>

namespace tw::engine {

void ShowSystemMessageBox(const std::wstring& title, const std::wstring& message);
// The chosen folder, or empty when the dialog was cancelled.
std::wstring ShowFolderBrowser(const std::wstring& title, const std::wstring& initialFolder,
                               bool editBox);
std::wstring DocumentsFolder();

}  // namespace tw::engine
