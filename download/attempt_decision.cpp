#include "download/attempt_decision.h"

#include <algorithm>
#include <charconv>

namespace tw {
namespace {

// The longest backoff: the fifth wait.
constexpr int32_t kMaxBackoffShift = 4;

}  // namespace

Decision DecideAfterAttempt(const AttemptOutcome& outcome, const DownloadState& state,
                            int32_t waitUnitMs) {
  Decision d;
  const bool progress = outcome.reachedBytes > state.furthestBytes;
  d.triesInARow = progress ? 0 : state.triesInARow + 1;
  d.retriesSinceProgress = progress ? 0 : state.retriesSinceProgress;

  const auto fail = [&d](DownloadFailure failure) {
    d.step = NextStep::kFail;
    d.failure = failure;
    return d;
  };
  // Once more after a wait, unless the budget is spent (then `spent` is the cause).
  const auto again = [&](NextStep step, DownloadFailure spent,
                         std::optional<int64_t> waitSeconds = std::nullopt) {
    if (d.triesInARow >= kTriesWithoutProgress) return fail(spent);
    d.step = step;
    d.waitMs = waitSeconds ? static_cast<int32_t>(*waitSeconds * 1000)
                           : waitUnitMs << std::min(d.retriesSinceProgress, kMaxBackoffShift);
    ++d.retriesSinceProgress;
    return d;
  };
  // Without ranges a part cannot be continued, only fetched again.
  const NextStep retry =
      !state.rangesServed && outcome.reachedBytes > 0 ? NextStep::kStartAgain : NextStep::kRetry;
  // What a spent budget says: nothing ever came, the rest never came, or the
  // rest could not be asked for.
  const DownloadFailure brokeOff =
      state.furthestBytes == 0 && outcome.reachedBytes == 0
          ? DownloadFailure::kUnreachable
          : (state.rangesServed ? DownloadFailure::kBrokeOff : DownloadFailure::kNoRanges);

  switch (outcome.end) {
    case AttemptEnd::kComplete:
      // A range that ended before the file: the rest is asked for, as progress.
      if (state.rangesServed && outcome.reachedBytes < state.totalBytes) {
        if (!progress) {
          d.triesInARow = state.triesInARow;
          d.retriesSinceProgress = state.retriesSinceProgress;
        }
        d.step = NextStep::kContinue;
        return d;
      }
      // Whole as framed; finishing checks it against the size it must have.
      d.step = NextStep::kFinish;
      return d;
    case AttemptEnd::kBroke:
    case AttemptEnd::kNoAnswer:
      return again(retry, brokeOff);
    case AttemptEnd::kBusy:
      if (outcome.retryAfterSeconds && *outcome.retryAfterSeconds > kMaxRetryAfterSeconds) {
        return fail(DownloadFailure::kBusy);
      }
      return again(retry, DownloadFailure::kBusy, outcome.retryAfterSeconds);
    case AttemptEnd::kGone:
      if (state.firstRequest || !state.canRenew) return fail(DownloadFailure::kGone);
      d.step = NextStep::kRenewLink;
      return d;
    case AttemptEnd::kRefused:
      return fail(DownloadFailure::kRefused);
    case AttemptEnd::kUnfit:
      return again(NextStep::kStartAgain, DownloadFailure::kChanged);
    case AttemptEnd::kShifted:
      // Asked once more first: a server may have answered another client's range.
      return again(state.shiftedBefore ? NextStep::kStartAgain : NextStep::kRetry,
                   DownloadFailure::kChanged);
    case AttemptEnd::kUnusable:
      return again(retry, DownloadFailure::kBadAnswer);
    case AttemptEnd::kLocal:
      return fail(outcome.failure);
  }
  return fail(DownloadFailure::kUnreachable);
}

std::optional<int64_t> ParseRetryAfter(const std::string& value) {
  int64_t seconds = 0;
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
  if (ec != std::errc() || end != value.data() + value.size() || value.empty() || seconds < 0) {
    return std::nullopt;
  }
  return seconds;
}

}  // namespace tw
