#include "tests/download/job_run.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "download/auto_reset_event.h"
#include "download/download_hooks.h"

namespace tw::testing {

Outcome RunJob(const std::string& url, const std::string& path, ReportLog* log,
               std::function<Text()> renew) {
  Outcome outcome;
  auto done = std::make_shared<AutoResetEvent>();
  auto job = std::make_unique<DownloadJob>();
  job->SetResumeWaitUnit(5);
  net::Timeouts limits;
  limits.receiveMs = 500;
  job->SetTransferTimeouts(limits);
  DownloadHooks hooks;
  if (renew) {
    hooks.renewUrl = [&outcome, renew = std::move(renew)](const std::function<bool()>&) {
      ++outcome.renewals;
      return renew();
    };
  }
  job->Start(url, path, log ? log->Callback() : ProgressCallback(), 1, done, 0, hooks);
  outcome.ended = done->Wait(20000);
  job->Stop();
  outcome.failure = job->Failure();
  outcome.attempts = job->Attempts();
  return outcome;
}

void ExpectOneDownload(ReportLog& log, bool freshStart) {
  std::vector<Report> reports = log.Reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(log.Count(Started), 1);
  EXPECT_EQ(log.Count(Ended), 1);
  EXPECT_EQ(reports.back().status, Ended);
  int64_t seen = 0;
  for (const Report& r : reports) {
    EXPECT_EQ(r.total, reports.back().total);
    if (r.status == Tick || r.status == Ended) {
      if (!freshStart || r.received >= seen) {
        EXPECT_GE(r.received, seen);
      }
      seen = r.received;
    }
  }
}

}  // namespace tw::testing
