// The soak's figures: counts, and the table it prints.
#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <sstream>

#include "tests/support/chaos_soak.h"

namespace tw::testing {
namespace {

struct Row {
  int connections = 0;
  int downloads = 0;
  std::array<int, 4> verdicts{};  // by SoakVerdict
  std::map<std::string, int> causes;
};

std::string Causes(const std::map<std::string, int>& causes) {
  std::string text;
  for (const auto& [cause, count] : causes) {
    text += (text.empty() ? "" : ", ") + cause + " " + std::to_string(count);
  }
  return text;
}

void PrintRow(std::ostringstream& out, const std::string& name, const Row& row) {
  out << "| " << name << " | " << row.connections << " | " << row.downloads;
  for (int count : row.verdicts) out << " | " << count;
  out << " | " << Causes(row.causes) << " |\n";
}

const char* VerdictName(SoakVerdict verdict) {
  switch (verdict) {
    case SoakVerdict::kFinished:
      return "finished";
    case SoakVerdict::kFailed:
      return "failed";
    case SoakVerdict::kCorrupt:
      return "corrupt";
    case SoakVerdict::kHung:
      return "hung";
  }
  return "?";
}

std::string Connections(const SoakDownload& download) {
  std::string text;
  for (size_t i = 0; i < download.connections.size(); ++i) {
    const ChaosConnection& c = download.connections[i];
    text += (text.empty() ? "" : ", ") + std::string(FaultName(c.lot.fault)) + " at " +
            (c.askedFrom < 0 ? std::string("-") : std::to_string(c.askedFrom)) + " v" +
            std::to_string(c.version) + (download.carried[i] ? " +" : "");
  }
  return text;
}

}  // namespace

const char* FailureName(DownloadFailure failure) {
  switch (failure) {
    case DownloadFailure::kNone:
      return "none";
    case DownloadFailure::kNoUrl:
      return "no URL";
    case DownloadFailure::kUnreachable:
      return "unreachable";
    case DownloadFailure::kRefused:
      return "refused";
    case DownloadFailure::kGone:
      return "gone";
    case DownloadFailure::kBrokeOff:
      return "broke off";
    case DownloadFailure::kNoRanges:
      return "no ranges";
    case DownloadFailure::kChanged:
      return "changed";
    case DownloadFailure::kNoSpace:
      return "no space";
    case DownloadFailure::kWriteFailed:
      return "write failed";
    case DownloadFailure::kIncomplete:
      return "incomplete";
    default:
      return "other";
  }
}

int SoakResult::Count(SoakVerdict verdict) const {
  return static_cast<int>(
      std::count_if(downloads.begin(), downloads.end(),
                    [verdict](const SoakDownload& d) { return d.verdict == verdict; }));
}

int SoakResult::CarriableFailures() const {
  return static_cast<int>(
      std::count_if(downloads.begin(), downloads.end(), [](const SoakDownload& d) {
        return d.verdict == SoakVerdict::kFailed && !d.failedByTheRules;
      }));
}

std::string SoakResult::Table() const {
  std::array<Row, kChaosFaultCount> byFault{};
  Row all;
  std::map<std::pair<std::string, std::string>, std::pair<int, int>> failures;
  for (const SoakDownload& d : downloads) {
    const auto verdict = static_cast<size_t>(d.verdict);
    const std::string cause = FailureName(d.cause);
    std::set<size_t> met;
    for (const ChaosConnection& c : d.connections) {
      const auto fault = static_cast<size_t>(c.lot.fault);
      ++byFault[fault].connections;
      met.insert(fault);
    }
    for (size_t fault : met) {
      ++byFault[fault].downloads;
      ++byFault[fault].verdicts[verdict];
      if (d.verdict == SoakVerdict::kFailed) ++byFault[fault].causes[cause];
    }
    all.connections += static_cast<int>(d.connections.size());
    ++all.downloads;
    ++all.verdicts[verdict];
    if (d.verdict == SoakVerdict::kFailed) {
      ++all.causes[cause];
      const std::string last =
          d.connections.empty() ? "none" : FaultName(d.connections.back().lot.fault);
      auto& [count, byRules] = failures[{last, cause}];
      ++count;
      if (d.failedByTheRules) ++byRules;
    }
  }

  std::ostringstream out;
  out << "chaos soak: seed " << options.seed << ", " << options.downloads << " downloads of "
      << options.fileSize << " bytes, " << options.parallel << " at once, limits 1/"
      << options.timeScale << " of the program's (silence " << limits.timeouts.receiveMs
      << " ms, wait unit " << limits.waitUnitMs << " ms), " << all.connections << " connections, "
      << static_cast<int>(seconds) << " s\n";
  out << "finished " << Count(SoakVerdict::kFinished) << ", failed " << Count(SoakVerdict::kFailed)
      << " (" << Count(SoakVerdict::kFailed) - CarriableFailures() << " by the rules), corrupt "
      << Count(SoakVerdict::kCorrupt) << ", hung " << Count(SoakVerdict::kHung) << "\n\n";
  out << "| fault kind | connections | downloads | finished | failed | corrupt | hung | failed "
         "with cause |\n|---|---:|---:|---:|---:|---:|---:|---|\n";
  for (size_t fault = 0; fault < kChaosFaultCount; ++fault) {
    if (byFault[fault].connections > 0) {
      PrintRow(out, FaultName(static_cast<ChaosFault>(fault)), byFault[fault]);
    }
  }
  PrintRow(out, "all", all);
  if (!failures.empty()) {
    out << "\n| last connection's fault | cause | failed | by the rules |\n|---|---|---:|---:|\n";
    for (const auto& [key, counts] : failures) {
      out << "| " << key.first << " | " << key.second << " | " << counts.first << " | "
          << counts.second << " |\n";
    }
  }
  bool heading = false;
  for (const SoakDownload& d : downloads) {
    const bool carriable = d.verdict == SoakVerdict::kFailed && !d.failedByTheRules;
    if (d.verdict == SoakVerdict::kFinished || (d.verdict == SoakVerdict::kFailed && !carriable)) {
      continue;
    }
    if (!heading) {
      out << "\nCorrupt, hung, and failed where a retry could have carried (connections: fault "
             "at the asked byte, version, + where it carried the file further):\n";
      heading = true;
    }
    out << "  " << d.id << " " << VerdictName(d.verdict);
    if (d.verdict == SoakVerdict::kFailed) out << " (" << FailureName(d.cause) << ")";
    if (!d.detail.empty()) out << ": " << d.detail;
    out << "; " << Connections(d) << "\n";
  }
  return out.str();
}

}  // namespace tw::testing
