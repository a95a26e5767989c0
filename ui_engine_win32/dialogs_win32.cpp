// The desktop's own dialogs: the standard message box for Help, the folder
// browser and the user's documents folder.
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include "ui_engine_common/engine_hooks.h"
#include "ui_engine_win32/frame_win32.h"

namespace tw::engine {
namespace {

// The dialog opens at the folder handed over through its callback parameter.
int CALLBACK BrowseStarted(HWND dialog, UINT message, LPARAM, LPARAM folder) {
  const auto* initial = reinterpret_cast<const std::wstring*>(folder);
  if (message == BFFM_INITIALIZED && initial != nullptr && !initial->empty()) {
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(initial->c_str()));
  }
  return 0;
}

}  // namespace

void ShowSystemMessageBox(const std::u16string& title, const std::u16string& message) {
  // No owner, task-modal: every window of the program waits for it.
  MessageBoxW(nullptr, Wide(message).c_str(), Wide(title).c_str(), MB_OK | MB_TASKMODAL);
}

std::u16string ShowFolderBrowser(const std::u16string& title, const std::u16string& initialFolder,
                                 bool editBox) {
  const std::wstring caption = Wide(title), start = Wide(initialFolder);
  // The new dialog style needs a single-threaded apartment on this thread;
  // one the thread already has is kept as it is.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  BROWSEINFOW info{};
  info.hwndOwner = ShownFrame();
  info.lpszTitle = caption.c_str();
  info.ulFlags = BIF_NEWDIALOGSTYLE | (editBox ? BIF_EDITBOX : 0);
  info.lpfn = BrowseStarted;
  info.lParam = reinterpret_cast<LPARAM>(&start);
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  std::wstring folder;
  if (chosen != nullptr) {
    // Long paths do not fit MAX_PATH; the call tells when the buffer was short.
    for (DWORD size = MAX_PATH; size <= 32768; size *= 4) {
      std::wstring buffer(size, L'\0');
      if (SHGetPathFromIDListEx(chosen, buffer.data(), size, GPFIDL_DEFAULT)) {
        buffer.resize(wcslen(buffer.c_str()));
        folder = buffer;
        break;
      }
    }
    CoTaskMemFree(chosen);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return Units(folder);
}

std::u16string DocumentsFolder() {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path)) && path != nullptr) {
    folder = path;
  }
  CoTaskMemFree(path);
  return Units(folder);
}

}  // namespace tw::engine
