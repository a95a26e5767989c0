#include <gtest/gtest.h>

#include "app/download_progress.h"
#include "text/convert.h"

namespace tw {
namespace {

constexpr int64_t kMB = 1048576;
constexpr int64_t kGB = 1073741824;

TEST(RoundHalfUp, HalvesGoAwayFromZeroAtEveryScale) {
  EXPECT_EQ(RoundHalfUp(0, 2), 0);
  EXPECT_EQ(RoundHalfUp(2.5, 0), 3);
  EXPECT_EQ(RoundHalfUp(-2.5, 0), -3);
  EXPECT_EQ(RoundHalfUp(2.4999, 0), 2);
  EXPECT_DOUBLE_EQ(RoundHalfUp(1.005, 2), 1.01);  // 100.49999... + 1e-12 still rounds up
  EXPECT_DOUBLE_EQ(RoundHalfUp(1.25, 1), 1.3);
  EXPECT_EQ(RoundHalfUp(1250, -2), 1300);
  EXPECT_EQ(RoundHalfUp(1249, -2), 1200);
}

TEST(ProgressStatusText, ExamplesOfTheStatusLine) {
  // 10%, 9 MB in half a second = 18 MB/s, 500 MB.
  EXPECT_EQ(ProgressStatusText(0.1f, 500 * kMB, 491 * kMB), "10%   18MB/s   500MB");
  EXPECT_EQ(ProgressStatusText(0.5f, 1023 * kMB, 1023 * kMB), "50%   0MB/s   1023MB");
  EXPECT_EQ(ProgressStatusText(0.25f, kGB, kGB), "25%   0MB/s   1GB");
  EXPECT_EQ(ProgressStatusText(0.75f, kGB + kGB / 2, kGB + kGB / 2), "75%   0MB/s   1.5GB");
  EXPECT_EQ(ProgressStatusText(1.0f, 2 * kGB, 2 * kGB), "100%   0MB/s   2GB");
  // Size unknown: the fraction stays 0.
  EXPECT_EQ(ProgressStatusText(0.0f, 3 * kMB, 2 * kMB), "0%   2MB/s   3MB");
  // A fresh start: the bytes done fall back to 0, the speed shows none.
  EXPECT_EQ(ProgressStatusText(0.0f, 0, 300 * kMB), "0%   0MB/s   0MB");
}

TEST(ProgressStatusText, FractionsKeepTwoDecimalsAndAmountsRound) {
  EXPECT_EQ(ProgressStatusText(0.123456f, kMB + kMB / 2, 0), "12.35%   3MB/s   2MB");
  EXPECT_EQ(ProgressStatusText(0.999999f, 1023 * kMB + kMB / 2 - 1, 0).substr(0, 5), "100% ");
}

TEST(FailureMessage, TheAmountNeededIsRoundedUpInTheStatusLinesUnits) {
  EXPECT_EQ(GbkToUtf8(FailureMessage(DownloadFailure::kNoSpace, 5368709243)),
            "磁盘空间不足，需要 5.01GB 可用空间。");
  EXPECT_EQ(GbkToUtf8(FailureMessage(DownloadFailure::kNoSpace, 300 * kMB + 1)),
            "磁盘空间不足，需要 301MB 可用空间。");
  // Every cause has a sentence of its own; none is the bare title.
  const DownloadFailure all[] = {
      DownloadFailure::kNoUrl,    DownloadFailure::kUnreachable, DownloadFailure::kRefused,
      DownloadFailure::kGone,     DownloadFailure::kBrokeOff,    DownloadFailure::kNoRanges,
      DownloadFailure::kChanged,  DownloadFailure::kWriteFailed, DownloadFailure::kIncomplete,
      DownloadFailure::kBusy,     DownloadFailure::kBadAnswer,   DownloadFailure::kNotAFile,
      DownloadFailure::kFatVolume};
  for (DownloadFailure f : all) {
    EXPECT_NE(GbkToUtf8(FailureMessage(f, 0)), "下载失败") << static_cast<int>(f);
  }
}

}  // namespace
}  // namespace tw
