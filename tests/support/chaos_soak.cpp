#include "tests/support/chaos_soak.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "download/attempt_decision.h"
#include "download/download_registry.h"
#include "download/resume_rules.h"
#include "tests/support/soak_file_check.h"

namespace tw::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A stopped download ends its transfer at once; one that has not reported
// its end this long after a stop will not.
constexpr milliseconds kEndAfterStop{15000};
constexpr milliseconds kLook{20};

// What the reports of one download told; written on engine threads.
struct Watch {
  std::mutex mutex;
  bool ended = false;
  float fraction = 0;
  DownloadFailure cause = DownloadFailure::kNone;
};

struct Running {
  int id = 0;
  Clock::time_point started;
  std::shared_ptr<Watch> watch;
  bool stopped = false;
  Clock::time_point stoppedAt;
  std::string overdue;  // why it was stopped
};

std::string Target(const SoakOptions& options, int id) {
  std::string name = "d";  // built up in steps: GCC 12 at -O3 warns on "d" + to_string
  name += std::to_string(id);
  name += ".iso";
  return (std::filesystem::path(options.folder) / name).string();
}

// The latest a download may still run: what its last connection may cost
// under the limits, then the longest wait before the next try.
Clock::time_point Deadline(const Running& running, const std::vector<ChaosConnection>& connections,
                           const SoakLimits& limits, const ChaosServerOptions& faults) {
  const net::Timeouts& t = limits.timeouts;
  int64_t ms = int64_t{t.connectMs} + t.receiveMs + limits.slackMs;
  if (connections.empty()) return running.started + milliseconds(ms);
  const ChaosConnection& last = connections.back();
  ms += int64_t{limits.waitUnitMs} << (kTriesWithoutProgress - 1);  // the longest backoff
  switch (last.lot.fault) {
    case ChaosFault::kStall:
    case ChaosFault::kEndlessChunked:
      ms += t.receiveMs;
      break;
    case ChaosFault::kTrickle:
    case ChaosFault::kEndlessRedirect:
      ms += t.minSpeedWindowMs;
      break;
    case ChaosFault::kBusy:
      ms += int64_t{faults.shortRetryAfterS} * 1000;
      break;
    default:
      break;
  }
  return last.start + milliseconds(ms);
}

std::vector<bool> Carried(const std::vector<ChaosConnection>& connections, bool finished) {
  std::vector<bool> carried(connections.size(), false);
  int64_t furthest = 0;
  for (size_t i = 0; i + 1 < connections.size(); ++i) {
    const int64_t next = std::max<int64_t>(connections[i + 1].askedFrom, 0);
    carried[i] = next > furthest;
    furthest = std::max(furthest, next);
  }
  if (!carried.empty()) carried.back() = finished;
  return carried;
}

// Five tries in a row that carried the file no further end a download by the
// rules.
bool BudgetSpent(const std::vector<bool>& carried) {
  constexpr size_t kFruitless = 5;
  return carried.size() >= kFruitless &&
         std::none_of(carried.end() - kFruitless, carried.end(), [](bool c) { return c; });
}

size_t RegisteredDownloads() {
  RegistryHandle registry = CurrentDownloadRegistry();
  if (!registry) return 0;
  std::lock_guard guard(registry->registryLock);
  return registry->entries.size();
}

}  // namespace

SoakLimits ScaledLimits(int timeScale) {
  const int scale = std::max(timeScale, 1);
  const net::Timeouts platform;
  SoakLimits limits;
  limits.timeouts.resolveMs = platform.resolveMs / scale;
  limits.timeouts.connectMs = platform.connectMs / scale;
  limits.timeouts.sendMs = platform.sendMs / scale;
  limits.timeouts.receiveMs = platform.receiveMs / scale;
  // A shorter window for as few bytes per second: a trickle is caught sooner,
  // a line that keeps the speed is not.
  limits.timeouts.minSpeedWindowMs = platform.minSpeedWindowMs / scale;
  limits.timeouts.minSpeedBytes = platform.minSpeedBytes / scale;
  limits.waitUnitMs = 1000 / scale;
  return limits;
}

ChaosServerOptions ScaledFaults(const SoakOptions& options) {
  const int scale = std::max(options.timeScale, 1);
  ChaosServerOptions faults;
  faults.seed = options.seed;
  faults.fileSize = options.fileSize;
  faults.weights = options.weights;
  faults.stallMs /= scale;
  for (int32_t& interval : faults.trickleIntervalsMs) interval /= scale;
  // Retry-After counts whole seconds: the short one stays a second.
  return faults;
}

namespace {

SoakDownload Judge(const Running& running, std::vector<ChaosConnection> connections,
                   const SoakOptions& options, ChaosServer& server, SoakFileCheck& check) {
  SoakDownload download;
  download.id = running.id;
  download.connections = std::move(connections);
  float fraction;
  {
    std::lock_guard lock(running.watch->mutex);
    download.cause = running.watch->cause;
    fraction = running.watch->fraction;
  }
  const std::string target = Target(options, running.id);
  const int lastVersion = server.Version(running.id);
  const bool finished =
      !running.stopped && download.cause == DownloadFailure::kNone && fraction == 1.0f;
  if (finished) {
    download.detail = check.Whole(target, lastVersion);
  } else if (std::filesystem::exists(target)) {
    download.detail = "a file under the final name after a failure";
  } else {
    download.detail = check.Prefix(target + ".part", lastVersion);
  }
  download.carried = Carried(download.connections, finished);
  if (!download.detail.empty()) {
    download.verdict = SoakVerdict::kCorrupt;
  } else if (running.stopped) {
    download.verdict = SoakVerdict::kHung;
    download.detail = running.overdue;
  } else {
    download.verdict = finished ? SoakVerdict::kFinished : SoakVerdict::kFailed;
  }
  if (download.verdict == SoakVerdict::kFailed && !download.connections.empty()) {
    const ChaosFault last = download.connections.back().lot.fault;
    download.failedByTheRules = std::find(options.finalFaults.begin(), options.finalFaults.end(),
                                          last) != options.finalFaults.end() ||
                                BudgetSpent(download.carried);
  }
  // 200 downloads of a few MiB each would fill a small temporary folder.
  for (const char* suffix : {"", ".part", ".part.resume", ".sha256", ".sha1"}) {
    std::error_code ignored;
    std::filesystem::remove(target + suffix, ignored);
  }
  return download;
}

}  // namespace

SoakResult RunSoak(const SoakOptions& options) {
  SoakResult result;
  result.options = options;
  result.limits = ScaledLimits(options.timeScale);
  const SoakLimits& limits = result.limits;
  if (!CurrentDownloadRegistry()) CreateDownloadRegistry();
  const ChaosServerOptions faults = ScaledFaults(options);
  ChaosServer server(faults);
  SoakFileCheck check(options.fileSize);
  const auto begin = Clock::now();

  std::vector<Running> running;
  int next = 1;
  while (next <= options.downloads || !running.empty()) {
    while (next <= options.downloads && static_cast<int>(running.size()) < options.parallel) {
      Running started;
      started.id = next++;
      started.started = Clock::now();
      started.watch = std::make_shared<Watch>();
      DownloadHooks hooks;
      hooks.timeouts = limits.timeouts;
      hooks.waitUnitMs = limits.waitUnitMs;
      hooks.failed = [watch = started.watch](DownloadFailure failure, int64_t) {
        std::lock_guard lock(watch->mutex);
        watch->cause = failure;
      };
      ProgressCallback reports = [watch = started.watch](int32_t, int32_t status, int64_t, int64_t,
                                                         int64_t, float fraction, float, int32_t,
                                                         const Text&) {
        if (status != Ended) return;
        std::lock_guard lock(watch->mutex);
        watch->ended = true;
        watch->fraction = fraction;
      };
      if (StartDownload(server.Url(started.id), Target(options, started.id), reports, started.id, 0,
                        hooks) == 1) {
        running.push_back(std::move(started));
      } else {
        SoakDownload refused;
        refused.id = started.id;
        refused.verdict = SoakVerdict::kFailed;
        refused.detail = "StartDownload refused it";
        result.downloads.push_back(refused);
      }
    }
    std::this_thread::sleep_for(kLook);
    for (auto it = running.begin(); it != running.end();) {
      bool ended;
      {
        std::lock_guard lock(it->watch->mutex);
        ended = it->watch->ended;
      }
      std::vector<ChaosConnection> connections = server.Connections(it->id);
      const auto now = Clock::now();
      if (ended) {
        result.downloads.push_back(Judge(*it, std::move(connections), options, server, check));
        it = running.erase(it);
        continue;
      }
      if (!it->stopped) {
        if (static_cast<int>(connections.size()) > options.maxConnections) {
          it->overdue = "a runaway of " + std::to_string(connections.size()) + " connections";
        } else if (now > Deadline(*it, connections, limits, faults)) {
          it->overdue =
              "still running past its deadline, last connection: " +
              std::string(connections.empty() ? "none" : FaultName(connections.back().lot.fault));
        }
        if (!it->overdue.empty()) {
          StopDownload(it->id);
          it->stopped = true;
          it->stoppedAt = now;
        }
      } else if (now > it->stoppedAt + kEndAfterStop) {
        SoakDownload lost;
        lost.id = it->id;
        lost.verdict = SoakVerdict::kHung;
        lost.detail = it->overdue + "; no end even after a stop";
        lost.carried = Carried(connections, false);
        lost.connections = std::move(connections);
        result.downloads.push_back(lost);
        it = running.erase(it);
        continue;
      }
      ++it;
    }
  }
  // Every download thread leaves the registry before the server goes.
  const auto gone = Clock::now() + kEndAfterStop;
  while (RegisteredDownloads() > 0 && Clock::now() < gone) std::this_thread::sleep_for(kLook);
  result.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  std::sort(result.downloads.begin(), result.downloads.end(),
            [](const SoakDownload& a, const SoakDownload& b) { return a.id < b.id; });
  return result;
}

}  // namespace tw::testing
