#include "tests/support/chaos_faults.h"

#include <numeric>

namespace tw::testing {

const char* FaultName(ChaosFault fault) {
  static constexpr std::array<const char*, kChaosFaultCount> kNames = {"clean",
                                                                       "drop",
                                                                       "reset",
                                                                       "stall",
                                                                       "trickle",
                                                                       "503 short wait",
                                                                       "503 long wait",
                                                                       "5xx or 429",
                                                                       "drop without ranges",
                                                                       "200 to a range",
                                                                       "shifted 206",
                                                                       "replaced file",
                                                                       "short 206",
                                                                       "endless chunked 206",
                                                                       "endless 302 body",
                                                                       "gzip body",
                                                                       "multipart 206",
                                                                       "two lengths",
                                                                       "length and chunked"};
  return kNames[static_cast<size_t>(fault)];
}

FaultWeights DefaultFaultWeights() {
  FaultWeights weights{};
  auto set = [&weights](ChaosFault fault, int weight) {
    weights[static_cast<size_t>(fault)] = weight;
  };
  set(ChaosFault::kClean, 330);
  set(ChaosFault::kDrop, 90);
  set(ChaosFault::kReset, 60);
  set(ChaosFault::kStall, 25);
  set(ChaosFault::kTrickle, 10);
  set(ChaosFault::kBusy, 60);
  set(ChaosFault::kBusyLong, 5);
  set(ChaosFault::kServerError, 40);
  set(ChaosFault::kNoRangesDrop, 40);
  set(ChaosFault::kWholeToRange, 50);
  set(ChaosFault::kShiftedRange, 50);
  set(ChaosFault::kReplaced, 50);
  set(ChaosFault::kShortRange, 50);
  set(ChaosFault::kEndlessChunked, 30);
  set(ChaosFault::kEndlessRedirect, 30);
  set(ChaosFault::kGzip, 30);
  set(ChaosFault::kMultipart, 30);
  set(ChaosFault::kTwoLengths, 30);
  set(ChaosFault::kLengthAndChunked, 30);
  return weights;
}

uint64_t MixStep(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

ChaosLot DrawLot(uint64_t seed, int file, int connection, const FaultWeights& weights) {
  // Each number goes through the whole mix before the next joins, so nearby
  // files and connections draw unrelated lots.
  uint64_t state = seed;
  state = MixStep(state) ^ static_cast<uint64_t>(file);
  state = MixStep(state) ^ static_cast<uint64_t>(connection);
  state = MixStep(state);
  const int sum = std::accumulate(weights.begin(), weights.end(), 0);
  ChaosLot lot;
  if (sum <= 0) return lot;
  int64_t pick = static_cast<int64_t>(MixStep(state) % static_cast<uint64_t>(sum));
  for (size_t i = 0; i < kChaosFaultCount; ++i) {
    pick -= weights[i];
    if (pick < 0) {
      lot.fault = static_cast<ChaosFault>(i);
      break;
    }
  }
  lot.detail = MixStep(state);
  return lot;
}

}  // namespace tw::testing
