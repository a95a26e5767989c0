#include <windows.h>

#include <string>

#include "download/part_file_platform.h"
#include "text/convert.h"

namespace tw::part_file_platform {

std::filesystem::path NativePath(const Text& path) {
  const std::u16string utf16 = GbkToUtf16(path);
  return std::filesystem::path(std::wstring(utf16.begin(), utf16.end()));
}

// The record always goes to the sidecar file on Windows: it travels with the
// part file whatever the file system is (FAT32 sticks, network shares).
std::optional<std::string> ReadAttribute(const std::filesystem::path&) { return std::nullopt; }
bool WriteAttribute(const std::filesystem::path&, const std::string&) { return false; }
void RemoveAttribute(const std::filesystem::path&) {}

bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to,
              std::string* error) {
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  if (error) *error = "rename: system error " + std::to_string(GetLastError());
  return false;
}

}  // namespace tw::part_file_platform
