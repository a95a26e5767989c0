// One download through DownloadJob with the waits of a test: 5 ms for each
// second between tries and half a second of silence, so that a whole budget of
// tries runs in a few seconds; and what every download's reports must show.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "download/download_job.h"
#include "tests/download/report_log.h"
#include "text/text.h"

namespace tw::testing {

struct Outcome {
  bool ended = false;  // within 20 s
  DownloadFailure failure = DownloadFailure::kNone;
  int32_t attempts = 0;
  int renewals = 0;
};

// `renew`, when given, answers the job's requests for a renewed link.
Outcome RunJob(const std::string& url, const std::string& path, ReportLog* log,
               std::function<Text()> renew = {});

// One download: one Started, one Ended last, the same total throughout, bytes
// done never going backwards (but to 0 on a fresh start, when allowed).
void ExpectOneDownload(ReportLog& log, bool freshStart = false);

}  // namespace tw::testing
