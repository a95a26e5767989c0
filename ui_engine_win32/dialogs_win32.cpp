#include "ui_engine_win32/dialogs_win32.h"

#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

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

void ShowSystemMessageBox(const std::wstring& title, const std::wstring& message) {
  // No owner, task-modal: every window of the program waits for it.
  MessageBoxW(nullptr, message.c_str(), title.c_str(), MB_OK | MB_TASKMODAL);
}

std::wstring ShowFolderBrowser(const std::wstring& title, const std::wstring& initialFolder,
                               bool editBox) {
  // The new dialog style needs a single-threaded apartment on this thread;
  // one the thread already has is kept as it is.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  BROWSEINFOW info{};
  info.hwndOwner = ShownFrame();
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_NEWDIALOGSTYLE | (editBox ? BIF_EDITBOX : 0);
  info.lpfn = BrowseStarted;
  info.lParam = reinterpret_cast<LPARAM>(&initialFolder);
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
  return folder;
}

std::wstring DocumentsFolder() {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path)) && path != nullptr) {
    folder = path;
  }
  CoTaskMemFree(path);
  return folder;
}

}  // namespace tw::engine
