// What a download does after each attempt (one request and what it brought):
// finish, go on at once, wait and try again, start the file again from its
// first byte, renew the link, or fail with a cause. One function over the
// attempt's outcome and the download's state; the worker only carries it out.
//
// A try is an attempt that did not carry the file past the furthest byte any
// earlier attempt of the download reached. Five tries in a row end the
// download; an attempt that did carry it further gives the budget back, so a
// server that breaks at the same place every time, after a fresh start too,
// still ends the download. Retries wait 1, 2, 4, 8 and 16 s after the last
// progress, or what a Retry-After of at most 60 s asks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "download/download_hooks.h"

namespace tw {

inline constexpr int32_t kTriesWithoutProgress = 5;
inline constexpr int32_t kMaxRetryAfterSeconds = 60;

// How an attempt ended, as far as the decision is concerned.
enum class AttemptEnd {
  kComplete,  // the body ended as its response framed it
  kBroke,     // the body broke off (dropped, silent, too slow, past its length)
  kNoAnswer,  // no connection, no response, or a break before the head
  kBusy,      // 500, 502, 503, 504 or 429
  kGone,      // 403, 404 or 410
  kRefused,   // any other answer that is no file
  kUnfit,     // an answer that cannot continue the part: a 200 to a range request,
              // another version or total, 416, https giving way to http
  kShifted,   // a 206 from another offset than asked
  kUnusable,  // an answer no download can take as it is (encoded, multipart,
              // without its one Content-Range, a length that cannot be trusted)
  kLocal,     // the download's own failure (space, the file): `failure` says which
};

struct AttemptOutcome {
  AttemptEnd end = AttemptEnd::kNoAnswer;
  int64_t reachedBytes = 0;  // the part's length after the attempt
  std::optional<int64_t> retryAfterSeconds;
  DownloadFailure failure = DownloadFailure::kNone;  // with kLocal
};

// What the download knows before the decision.
struct DownloadState {
  int64_t furthestBytes = 0;         // reached by any earlier attempt
  int32_t triesInARow = 0;           // attempts without progress since the last one with it
  int32_t retriesSinceProgress = 0;  // waits since the last progress
  int64_t totalBytes = 0;            // 0: not known
  bool rangesServed = false;         // the part can be continued with a range request
  bool firstRequest = false;         // the first attempt, with the link as resolved
  bool canRenew = false;             // a fresh link may still be asked for
  bool shiftedBefore = false;        // the attempt before answered from another offset too
};

enum class NextStep {
  kFinish,      // the body ended as framed: check the file's size, give it its name
  kContinue,    // ask for the rest at once (progress, not a try)
  kRetry,       // wait `waitMs`, then ask for the rest (or the whole, without ranges)
  kStartAgain,  // wait `waitMs`, then the whole file again from its first byte
  kRenewLink,   // ask the starter for a fresh link, then go on at once
  kFail,
};

struct Decision {
  NextStep step = NextStep::kFail;
  int32_t waitMs = 0;
  DownloadFailure failure = DownloadFailure::kNone;  // with kFail
  // The counters after this attempt, for the next decision.
  int32_t triesInARow = 0;
  int32_t retriesSinceProgress = 0;
};

// `waitUnitMs`: a second, unless a test says otherwise.
Decision DecideAfterAttempt(const AttemptOutcome& outcome, const DownloadState& state,
                            int32_t waitUnitMs = 1000);

// The seconds of a Retry-After value (delta-seconds only; a date is not read).
std::optional<int64_t> ParseRetryAfter(const std::string& value);

}  // namespace tw
