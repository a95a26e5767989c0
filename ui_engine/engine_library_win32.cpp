#include <windows.h>

#include <string>

#include "text/convert.h"
#include "ui_engine/engine_library.h"

namespace tw::ui {

namespace {

std::wstring Wide(const std::string& gbk) {
  const std::u16string utf16 = GbkToUtf16(gbk);
  return std::wstring(utf16.begin(), utf16.end());
}

}  // namespace

std::vector<std::string> DefaultLocationFiles() { return {"C:\\UiEngine.ini", "D:\\UiEngine.ini"}; }

std::string WorkingDirectory() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring buffer(size, L'\0');
  const DWORD length = GetCurrentDirectoryW(size, buffer.data());
  if (length == 0 || length >= size) return {};
  buffer.resize(length);
  return Utf16ToGbk(std::u16string(buffer.begin(), buffer.end()));
}

void* OpenEngineLibrary(const std::string& path) {
  // No error box of the system's own for a library that is missing or broken:
  // the search goes on to the next place.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE library = LoadLibraryW(Wide(path).c_str());
  SetErrorMode(previous);
  return reinterpret_cast<void*>(library);
}

void* FindEngineExport(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void ReportEngineFailure(const std::string& message) {
  const std::wstring text = Wide("Tarnwick cannot start: " + message);
  MessageBoxW(nullptr, text.c_str(), L"Tarnwick", MB_OK | MB_ICONERROR);
}

}  // namespace tw::ui
