// The long chaos soak of the download engine: by default 200 downloads of
// 2 MiB through StartDownload, eight at once, against a loopback server that
// misbehaves per connection from a seed (tests/support/chaos_faults.h). Prints
// the table of outcomes by fault kind; exits with 1 when a download ended
// corrupt or ran past its limit.
//
// Usage: chaos_soak [--seed N] [--downloads N] [--parallel N] [--size BYTES]
//                   [--scale N] [--without KIND,KIND...] [--folder DIR]
// Without --seed the seed comes from the clock; the table names it, so a run
// is repeated with --seed. --scale divides the engine's silences and waits and
// the faults' durations (15: 30 s of silence become 2 s). --without leaves
// fault kinds out, by the names the table uses.
#include "tests/support/chaos_soak.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "download/download_registry.h"
#include "tests/support/temp_folder.h"

namespace {

using tw::testing::ChaosFault;

bool LeaveOut(const std::string& names, tw::testing::FaultWeights& weights) {
  size_t at = 0;
  while (at <= names.size()) {
    size_t comma = names.find(',', at);
    if (comma == std::string::npos) comma = names.size();
    const std::string name = names.substr(at, comma - at);
    bool known = false;
    for (size_t i = 0; i < tw::testing::kChaosFaultCount; ++i) {
      if (name == tw::testing::FaultName(static_cast<ChaosFault>(i))) {
        weights[i] = 0;
        known = true;
      }
    }
    if (!known) {
      std::fprintf(stderr, "unknown fault kind '%s'\n", name.c_str());
      return false;
    }
    at = comma + 1;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  tw::testing::SoakOptions options;
  options.downloads = 200;
  options.seed =
      static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count() % 1000000);
  std::string folder;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    const char* value = argv[i + 1];
    if (flag == "--seed") {
      options.seed = std::strtoull(value, nullptr, 10);
    } else if (flag == "--downloads") {
      options.downloads = std::atoi(value);
    } else if (flag == "--parallel") {
      options.parallel = std::atoi(value);
    } else if (flag == "--size") {
      options.fileSize = std::atoll(value);
    } else if (flag == "--scale") {
      options.timeScale = std::atoi(value);
    } else if (flag == "--folder") {
      folder = value;
    } else if (flag != "--without" || !LeaveOut(value, options.weights)) {
      std::fprintf(stderr, "usage: see the head of bench/chaos_soak.cpp\n");
      return 2;
    }
  }
  if (argc % 2 == 0 || options.downloads < 1 || options.parallel < 1 || options.fileSize < 1) {
    std::fprintf(stderr, "usage: see the head of bench/chaos_soak.cpp\n");
    return 2;
  }
  tw::testing::TempFolder scratch("chaos-soak");
  options.folder = folder.empty() ? scratch.path() : folder;
  std::printf("chaos soak: seed %llu, %d downloads\n",
              static_cast<unsigned long long>(options.seed), options.downloads);
  std::fflush(stdout);
  tw::CreateDownloadRegistry();
  const tw::testing::SoakResult result = tw::testing::RunSoak(options);
  tw::ReleaseDownloadRegistry();
  std::printf("\n%s", result.Table().c_str());
  const bool clean = result.Count(tw::testing::SoakVerdict::kCorrupt) == 0 &&
                     result.Count(tw::testing::SoakVerdict::kHung) == 0;
  return clean ? 0 : 1;
}
