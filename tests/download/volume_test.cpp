// Telling a FAT volume, which holds no file of 4 GiB or more, from the others
// by what each system reports of its file systems.
#include "download/volume.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>

#include "tests/support/temp_folder.h"

namespace tw {
namespace {

TEST(VolumeTest, FatIsToldByTheSystemsOwnNamesAndNumbers) {
  // statfs: the FAT driver's number for FAT12, FAT16 and FAT32 alike.
  EXPECT_TRUE(IsFatMagic(0x4d44));
  // ext2-4, tmpfs, exFAT, NTFS (ntfs3), FUSE, btrfs, XFS: none has the limit.
  for (int64_t other : std::initializer_list<int64_t>{0xEF53, 0x01021994, 0x2011BAB0, 0x5346544E,
                                                      0x65735546, 0x9123683E, 0x58465342}) {
    EXPECT_FALSE(IsFatMagic(other)) << std::hex << other;
  }
  // GetVolumeInformationW: "FAT" for FAT12 and FAT16, "FAT32".
  for (const char* fat : {"FAT", "FAT32", "fat32", "FAT16", "FAT12"}) {
    EXPECT_TRUE(IsFatName(fat)) << fat;
  }
  for (const char* other : {"exFAT", "NTFS", "ReFS", "UDF", "CDFS", "", "FAT32 ", "FAT64"}) {
    EXPECT_FALSE(IsFatName(other)) << other;
  }
}

TEST(VolumeTest, AFolderYetToBeMadeIsJudgedByItsNearestExistingParent) {
  const testing::TempFolder folder("volume");
  const std::string target = folder.File("not/yet/made.iso");
  EXPECT_EQ(NearestExistingFolder(target), folder.dir());
  // The temporary folder is not FAT: even a file above the limit fits.
  EXPECT_FALSE(TooLargeForVolume(target, kFatLargestFile + 1));
}

}  // namespace
}  // namespace tw
