// A soak of the download engine: many downloads through StartDownload,
// several at once, against a ChaosServer, each judged when it ends.
//
// A finished download must be byte-identical to one whole version of its file,
// with a ".sha256" that agrees; a failed one must leave no file under the
// final name and a ".part" that is a prefix of one version. A download still
// running when its deadline passes is hung: the deadline follows its last
// connection, by what that connection's fault may cost under the limits in
// force (a silence, a minimum-speed window, the longest wait before the next try),
// plus slack for a loaded machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "download/download_hooks.h"
#include "net/transfer.h"
#include "tests/support/chaos_faults.h"
#include "tests/support/chaos_server.h"

namespace tw::testing {

struct SoakLimits {
  net::Timeouts timeouts;  // handed to every download
  int32_t waitUnitMs = 1000;
  int32_t slackMs = 6000;
};

struct SoakOptions {
  uint64_t seed = 1;
  int downloads = 40;
  int parallel = 8;
  int64_t fileSize = int64_t{2} << 20;
  FaultWeights weights = DefaultFaultWeights();
  // The engine's time limits and waits and the faults' durations are divided
  // by this: 30 s of silence become 2 s at 15, the minimum speed stays.
  int timeScale = 15;
  std::string folder;  // where the downloads go; must exist
  // A failure right after one of these is the end the rules prescribe.
  std::vector<ChaosFault> finalFaults = {ChaosFault::kBusyLong};
  // More connections than this for one download is a runaway, counted as hung.
  int maxConnections = 100;
};

enum class SoakVerdict { kFinished, kFailed, kCorrupt, kHung };

struct SoakDownload {
  int id = 0;
  SoakVerdict verdict = SoakVerdict::kHung;
  DownloadFailure cause = DownloadFailure::kNone;  // of a failure
  // A failure the rules prescribe: after a final fault, or after five tries in
  // a row that carried the file no further.
  bool failedByTheRules = false;
  std::string detail;  // what made it corrupt or hung
  std::vector<ChaosConnection> connections;
  // By connection: it carried the file past the furthest byte reached before,
  // as where the next one asked to go on from tells (the last: the download
  // finished).
  std::vector<bool> carried;
};

struct SoakResult {
  SoakOptions options;
  SoakLimits limits;
  double seconds = 0;
  std::vector<SoakDownload> downloads;

  int Count(SoakVerdict verdict) const;
  // Failures that a retry could have carried: not by the rules.
  int CarriableFailures() const;
  // The table by fault kind, the failures by their last fault and cause, and a
  // line for every corrupt, hung or carriable download with its connections.
  std::string Table() const;
};

SoakLimits ScaledLimits(int timeScale);
ChaosServerOptions ScaledFaults(const SoakOptions& options);
const char* FailureName(DownloadFailure failure);

SoakResult RunSoak(const SoakOptions& options);

}  // namespace tw::testing
