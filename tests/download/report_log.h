// What the download tests read of a download: a thread-safe log of its
// progress reports, and the wait for every engine thread to be gone.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "download/download_status.h"
#include "text/text.h"

namespace tw::testing {

struct Report {
  int32_t tag;
  int32_t status;
  int64_t total;
  int64_t received;
  int64_t remaining;
  float fraction;
  float speed;
  int32_t elapsedMs;
  Text path;
};

class ReportLog {
 public:
  ProgressCallback Callback();
  // Waits (bounded, to catch a hang) until an Ended report arrived.
  bool WaitEnded(std::chrono::milliseconds limit = std::chrono::seconds(20));
  std::vector<Report> Reports();
  int Count(int32_t status);
  // The statuses in arrival order.
  std::vector<int32_t> Statuses();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Report> reports_;
};

// Waits (bounded) until every engine thread has finished; says so when it gives up.
::testing::AssertionResult WaitForEngineThreads(
    std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace tw::testing
