#include "tests/download/report_log.h"

#include <gtest/gtest.h>

#include "download/thread_record.h"
#include "tests/support/wait_for.h"

namespace tw::testing {

ProgressCallback ReportLog::Callback() {
  return [this](int32_t tag, int32_t status, int64_t total, int64_t received, int64_t remaining,
                float fraction, float speed, int32_t elapsed, const Text& path) {
    {
      std::lock_guard guard(mutex_);
      reports_.push_back({tag, status, total, received, remaining, fraction, speed, elapsed, path});
    }
    changed_.notify_all();
  };
}

bool ReportLog::WaitEnded(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [this] {
    for (const Report& r : reports_) {
      if (r.status == Ended) return true;
    }
    return false;
  });
}

std::vector<Report> ReportLog::Reports() {
  std::lock_guard guard(mutex_);
  return reports_;
}

int ReportLog::Count(int32_t status) {
  std::lock_guard guard(mutex_);
  int n = 0;
  for (const Report& r : reports_) n += r.status == status;
  return n;
}

std::vector<int32_t> ReportLog::Statuses() {
  std::lock_guard guard(mutex_);
  std::vector<int32_t> out;
  for (const Report& r : reports_) out.push_back(r.status);
  return out;
}

::testing::AssertionResult WaitForEngineThreads(std::chrono::milliseconds limit) {
  return WaitFor([] { return RunningEngineThreads() == 0; }, limit,
                 "every engine thread to finish");
}

}  // namespace tw::testing
