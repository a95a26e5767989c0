// The chaos soak's short run: forty downloads through StartDownload, eight at
// once, against a server that misbehaves on most connections in every way a
// line or a server can (see tests/support/chaos_faults.h). No download may end
// with a wrong file or a part that is no prefix of the served file, and none
// may run past what its faults can cost under the limits in force.
//
// The seed is printed with the table; TW_CHAOS_SEED=<n> runs another one.
// bench/chaos_soak runs the long soak.
#include "tests/support/chaos_soak.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "download/digest.h"
#include "tests/download/report_log.h"
#include "tests/support/files.h"
#include "tests/support/soak_file_check.h"
#include "tests/support/temp_folder.h"

namespace tw {
namespace {

using testing::SoakVerdict;

uint64_t Seed() {
  const char* chosen = std::getenv("TW_CHAOS_SEED");
  return chosen != nullptr ? std::strtoull(chosen, nullptr, 10) : 21;
}

TEST(ChaosSoak, NoDownloadEndsCorruptOrRunsPastItsLimit) {
  testing::TempFolder folder("chaos");
  testing::SoakOptions options;
  options.seed = Seed();
  options.downloads = 40;
  options.parallel = 8;
  options.folder = folder.path();
  const testing::SoakResult result = testing::RunSoak(options);
  const std::string table = result.Table();
  std::cout << table;

  ASSERT_EQ(result.downloads.size(), 40u) << table;
  EXPECT_EQ(result.Count(SoakVerdict::kCorrupt), 0) << "see the table above";
  EXPECT_EQ(result.Count(SoakVerdict::kHung), 0) << "see the table above";
  // Transient answers are retried and a continuation that cannot fit starts
  // the file again: a failure a retry would have carried is a fault.
  EXPECT_EQ(result.CarriableFailures(), 0) << "see the table above";
  EXPECT_TRUE(testing::WaitForEngineThreads());
}

// A soak proves nothing if its judge misses a wrong byte: a whole version with
// its checksum passes, one changed byte, a wrong checksum or a part that
// strays from every version does not.
TEST(ChaosSoak, TheJudgeSeesAWrongByteChecksumOrPart) {
  constexpr int64_t kSize = 300000;
  testing::TempFolder folder("judge");
  testing::SoakFileCheck check(kSize);
  const std::string path = folder.File("f.iso");
  const std::string second = testing::ChaosBytes(1, 0, kSize);
  std::unique_ptr<Digest> sha256 = MakeDigest(DigestKind::kSha256);
  sha256->Update(second.data(), second.size());
  testing::WriteFile(path + ".sha256", sha256->FinishHex() + "  f.iso\n");

  testing::WriteFile(path, second);
  EXPECT_EQ(check.Whole(path, 1), "");
  EXPECT_NE(check.Whole(path, 0), "") << "version 1 was never served";
  std::string changed = second;
  changed[kSize / 2] = static_cast<char>(changed[kSize / 2] ^ 1);
  testing::WriteFile(path, changed);
  EXPECT_NE(check.Whole(path, 1), "");
  testing::WriteFile(path, second);
  testing::WriteFile(path + ".sha256", std::string(64, '0') + "  f.iso\n");
  EXPECT_NE(check.Whole(path, 1), "");

  const std::string part = path + ".part";
  EXPECT_EQ(check.Prefix(part, 0), "") << "no part at all";
  testing::WriteFile(part, testing::ChaosBytes(0, 0, 1000));
  EXPECT_EQ(check.Prefix(part, 1), "");
  testing::WriteFile(part, testing::ChaosBytes(0, 0, 999) + testing::ChaosBytes(1, 999, 1));
  EXPECT_NE(check.Prefix(part, 1), "");
  testing::WriteFile(part, second + "x");
  EXPECT_NE(check.Prefix(part, 1), "");
}

}  // namespace
}  // namespace tw
