// What the file system that will hold a download can take, beyond its free
// space: FAT12, FAT16 and FAT32 hold no file of 4 GiB or more, however much
// room is left, so such a download is refused before its first byte rather
// than failing a write at 4 GiB.
//
// The kind is told by the system (statfs on Linux, GetVolumeInformationW on
// Windows, in volume_posix.cpp and volume_win32.cpp); the rest is shared.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "text/text.h"

namespace tw {

// The largest file a FAT file system holds: 4 GiB less one byte.
inline constexpr int64_t kFatLargestFile = 4294967295;

// True when a file of `bytes` cannot be held by the file system that would
// hold `targetPath`. False when it can, or when the file system cannot be told.
bool TooLargeForVolume(const Text& targetPath, int64_t bytes);

// The nearest folder of `targetPath` that exists: the one whose file system a
// new file there lands on.
std::filesystem::path NearestExistingFolder(const Text& targetPath);

// The file system kinds as the systems name them: statfs's f_type on Linux
// (the FAT driver's magic number for all three), the file system name that
// GetVolumeInformationW reports on Windows ("FAT", "FAT32"). exFAT is not FAT.
bool IsFatMagic(int64_t statfsType);
bool IsFatName(std::string_view fileSystemName);

// The system's part: whether `folder` lies on a FAT file system; false when
// that cannot be told.
bool OnFatFileSystem(const std::filesystem::path& folder);

}  // namespace tw
