#include "download/volume.h"

#include "download/part_file_platform.h"

namespace tw {

namespace {

// Linux's MSDOS_SUPER_MAGIC: the msdos and vfat drivers report it for FAT12,
// FAT16 and FAT32 alike.
constexpr int64_t kFatMagic = 0x4d44;

}  // namespace

bool IsFatMagic(int64_t statfsType) { return statfsType == kFatMagic; }

bool IsFatName(std::string_view fileSystemName) {
  for (std::string_view fat : {"FAT", "FAT12", "FAT16", "FAT32"}) {
    if (EqualsIgnoreCase(fileSystemName, fat)) return true;
  }
  return false;
}

std::filesystem::path NearestExistingFolder(const Text& targetPath) {
  std::filesystem::path folder = part_file_platform::NativePath(targetPath).parent_path();
  if (folder.empty()) folder = ".";
  while (!part_file_platform::Exists(folder) && folder.has_parent_path() &&
         folder.parent_path() != folder) {
    folder = folder.parent_path();
  }
  return folder;
}

bool TooLargeForVolume(const Text& targetPath, int64_t bytes) {
  return bytes > kFatLargestFile && OnFatFileSystem(NearestExistingFolder(targetPath));
}

}  // namespace tw
