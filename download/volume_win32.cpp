#include <windows.h>

#include <string>

#include "download/volume.h"

namespace tw {

bool OnFatFileSystem(const std::filesystem::path& folder) {
  // The volume's root (a drive, a share, a mounted folder): the file system
  // is asked of the root only.
  wchar_t root[MAX_PATH + 1] = {};
  if (!GetVolumePathNameW(folder.c_str(), root, MAX_PATH + 1)) return false;
  wchar_t name[MAX_PATH + 1] = {};
  if (!GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1)) {
    return false;
  }
  // File system names are plain ASCII.
  std::string ascii;
  for (const wchar_t* c = name; *c != L'\0'; ++c) {
    ascii += *c < 0x80 ? static_cast<char>(*c) : '?';
  }
  return IsFatName(ascii);
}

}  // namespace tw
