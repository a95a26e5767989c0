// What a download does after an attempt, case by case: the budget that
// progress gives back, the waits, fresh starts, renewals and causes.
#include "download/attempt_decision.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

constexpr int32_t kUnit = 1000;

struct Row {
  const char* what;
  AttemptOutcome outcome;
  DownloadState state;
  NextStep step;
  int32_t waitMs;
  DownloadFailure failure;
  int32_t triesAfter;
};

AttemptOutcome Ended(AttemptEnd end, int64_t reached, std::optional<int64_t> retryAfter = {}) {
  AttemptOutcome outcome;
  outcome.end = end;
  outcome.reachedBytes = reached;
  outcome.retryAfterSeconds = retryAfter;
  return outcome;
}

// With ranges, 1000 bytes of a 10000-byte file reached so far.
DownloadState Ranged(int32_t tries = 0, int32_t retries = 0) {
  DownloadState state;
  state.furthestBytes = 1000;
  state.triesInARow = tries;
  state.retriesSinceProgress = retries;
  state.totalBytes = 10000;
  state.rangesServed = true;
  state.canRenew = true;
  return state;
}

DownloadState Unranged() {
  DownloadState state = Ranged();
  state.rangesServed = false;
  return state;
}

DownloadState First() {
  DownloadState state;
  state.firstRequest = true;
  state.canRenew = true;
  return state;
}

DownloadState Shifted() {
  DownloadState state = Ranged();
  state.shiftedBefore = true;
  return state;
}

TEST(AttemptDecision, EachOutcomeInEachState) {
  using E = AttemptEnd;
  using S = NextStep;
  using F = DownloadFailure;
  const Row rows[] = {
      {"whole file", Ended(E::kComplete, 10000), Ranged(), S::kFinish, 0, F::kNone, 0},
      {"a short range is progress, asked on at once", Ended(E::kComplete, 4000), Ranged(3, 3),
       S::kContinue, 0, F::kNone, 0},
      {"a short range behind the furthest byte is no try", Ended(E::kComplete, 800), Ranged(3, 3),
       S::kContinue, 0, F::kNone, 3},
      {"a short body without ranges is checked when finishing", Ended(E::kComplete, 4000),
       Unranged(), S::kFinish, 0, F::kNone, 0},
      {"a break after progress waits a unit", Ended(E::kBroke, 5000), Ranged(4, 4), S::kRetry,
       kUnit, F::kNone, 0},
      {"a break without progress is a try", Ended(E::kBroke, 1000), Ranged(1, 2), S::kRetry,
       4 * kUnit, F::kNone, 2},
      {"the fifth try in a row ends it", Ended(E::kBroke, 1000), Ranged(4, 4), S::kFail, 0,
       F::kBrokeOff, 5},
      {"without ranges a break starts again", Ended(E::kBroke, 5000), Unranged(), S::kStartAgain,
       kUnit, F::kNone, 0},
      {"without ranges five tries end it", Ended(E::kBroke, 1000),
       [] {
         DownloadState s = Unranged();
         s.triesInARow = s.retriesSinceProgress = 4;
         return s;
       }(),
       S::kFail, 0, F::kNoRanges, 5},
      {"no connection at first is retried", Ended(E::kNoAnswer, 0), First(), S::kRetry, kUnit,
       F::kNone, 1},
      {"never a byte: unreachable", Ended(E::kNoAnswer, 0),
       [] {
         DownloadState s = First();
         s.triesInARow = s.retriesSinceProgress = 4;
         return s;
       }(),
       S::kFail, 0, F::kUnreachable, 5},
      {"busy waits what it asks", Ended(E::kBusy, 1000, 7), Ranged(), S::kRetry, 7000, F::kNone, 1},
      {"busy for longer than a minute ends it", Ended(E::kBusy, 1000, 61), Ranged(), S::kFail, 0,
       F::kBusy, 1},
      {"busy without a wait backs off", Ended(E::kBusy, 0), First(), S::kRetry, kUnit, F::kNone, 1},
      {"gone at first: the link was just resolved", Ended(E::kGone, 0), First(), S::kFail, 0,
       F::kGone, 1},
      {"gone later: a fresh link", Ended(E::kGone, 1000), Ranged(), S::kRenewLink, 0, F::kNone, 1},
      {"gone again after the renewal", Ended(E::kGone, 1000),
       [] {
         DownloadState s = Ranged();
         s.canRenew = false;
         return s;
       }(),
       S::kFail, 0, F::kGone, 1},
      {"another error ends it", Ended(E::kRefused, 1000), Ranged(), S::kFail, 0, F::kRefused, 1},
      {"a continuation that does not fit starts again", Ended(E::kUnfit, 1000), Ranged(),
       S::kStartAgain, kUnit, F::kNone, 1},
      {"another offset is asked once more", Ended(E::kShifted, 1000), Ranged(), S::kRetry, kUnit,
       F::kNone, 1},
      {"another offset twice starts again", Ended(E::kShifted, 1000), Shifted(), S::kStartAgain,
       kUnit, F::kNone, 1},
      {"an unusable answer is a try", Ended(E::kUnusable, 1000), Ranged(4, 4), S::kFail, 0,
       F::kBadAnswer, 5},
      {"the download's own failure ends it at once",
       [] {
         AttemptOutcome o = Ended(E::kLocal, 1000);
         o.failure = F::kNoSpace;
         return o;
       }(),
       Ranged(), S::kFail, 0, F::kNoSpace, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const Decision d = DecideAfterAttempt(row.outcome, row.state, kUnit);
    EXPECT_EQ(d.step, row.step);
    EXPECT_EQ(d.waitMs, row.waitMs);
    EXPECT_EQ(d.failure, row.failure);
    EXPECT_EQ(d.triesInARow, row.triesAfter);
  }
}

TEST(AttemptDecision, AStuckServerWaitsOneTwoFourEightSixteenThenFails) {
  DownloadState state = Ranged();
  AttemptOutcome progress = Ended(AttemptEnd::kBroke, 2000);
  AttemptOutcome stuck = Ended(AttemptEnd::kBroke, 2000);
  std::vector<int32_t> waits;
  Decision d = DecideAfterAttempt(progress, state, kUnit);
  for (int i = 0; i < 10 && d.step == NextStep::kRetry; ++i) {
    waits.push_back(d.waitMs);
    state.furthestBytes = 2000;
    state.triesInARow = d.triesInARow;
    state.retriesSinceProgress = d.retriesSinceProgress;
    d = DecideAfterAttempt(stuck, state, kUnit);
  }
  EXPECT_EQ(waits, (std::vector<int32_t>{1000, 2000, 4000, 8000, 16000}));
  EXPECT_EQ(d.step, NextStep::kFail);
  EXPECT_EQ(d.failure, DownloadFailure::kBrokeOff);
}

TEST(AttemptDecision, RetryAfterIsReadAsSeconds) {
  EXPECT_EQ(ParseRetryAfter("120"), 120);
  EXPECT_EQ(ParseRetryAfter("0"), 0);
  EXPECT_EQ(ParseRetryAfter("Wed, 21 Oct 2026 07:28:00 GMT"), std::nullopt);
  EXPECT_EQ(ParseRetryAfter("-5"), std::nullopt);
  EXPECT_EQ(ParseRetryAfter(""), std::nullopt);
}

}  // namespace
}  // namespace tw
