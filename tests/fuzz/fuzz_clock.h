// Times each call a fuzz target makes and aborts, so that libFuzzer reports
// the input, when one takes longer than the engine's time budget allows. The
// longest time seen for each kind of call is printed at exit.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "fuzz_require.h"
#include "script/script_heap.h"

namespace tw::fuzz {

// What a call may take beyond its budget: the clock is read every few hundred
// engine steps, and under the sanitizers a step can be slow.
inline constexpr std::chrono::milliseconds kMargin{400};

inline std::map<std::string, double>& Worst() {
  static auto* worst = [] {
    auto* table = new std::map<std::string, double>;
    std::atexit([] {
      for (const auto& [name, ms] : Worst())
        std::fprintf(stderr, "worst %-16s %8.1f ms\n", name.c_str(), ms);
    });
    return table;
  }();
  return *worst;
}

template <class Call>
auto Timed(const char* name, Call&& call) {
  using Clock = std::chrono::steady_clock;
  struct Stop {
    const char* name;
    Clock::time_point start = Clock::now();
    ~Stop() {
      const auto took = Clock::now() - start;
      const double ms = std::chrono::duration<double, std::milli>(took).count();
      double& worst = Worst()[name];
      if (ms > worst) worst = ms;
      if (took > ScriptHeap::kTimeBudget + kMargin) {
        std::fprintf(stderr, "%s took %.1f ms, past its budget\n", name, ms);
        std::abort();
      }
    }
  } stop{name};
  return call();
}

}  // namespace tw::fuzz
