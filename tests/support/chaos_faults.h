// The ways the chaos server misbehaves, one per connection, and the draw that
// picks one. The draw depends only on the seed, the file and the number of
// the connection to that file, so a run with several downloads at once is
// repeated from its seed whatever order their connections arrive in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tw::testing {

enum class ChaosFault {
  kClean,             // the answer as asked, whole
  kDrop,              // closed before the head or after part of the body
  kReset,             // reset before the head or after part of the body
  kStall,             // silent after part of the body, past the silence limit
  kTrickle,           // one byte per interval after part of the body
  kBusy,              // 503 with a Retry-After short enough to wait
  kBusyLong,          // 503 with a Retry-After too long to wait
  kServerError,       // 500, 502, 504 or 429, without Retry-After
  kNoRangesDrop,      // 200 from a server without ranges, closed after part of the body
  kWholeToRange,      // 200 with the whole file to a range request
  kShiftedRange,      // 206 at another offset than asked
  kReplaced,          // the file is replaced on the server, then answered as asked
  kShortRange,        // 206 that ends before the total
  kEndlessChunked,    // 206 whose chunked body runs on past the announced end
  kEndlessRedirect,   // 302 whose own body never ends
  kGzip,              // the body with Content-Encoding: gzip
  kMultipart,         // 206 multipart/byteranges without Content-Range
  kTwoLengths,        // two different Content-Length lines
  kLengthAndChunked,  // Content-Length beside Transfer-Encoding: chunked
};
inline constexpr size_t kChaosFaultCount = 19;

const char* FaultName(ChaosFault fault);

// Relative weights, indexed by the fault's value; a weight of 0 leaves it out.
using FaultWeights = std::array<int, kChaosFaultCount>;
// About a third of the connections clean, the long faults (stalls, trickles,
// endless bodies) rare, since each costs a silence limit or more.
FaultWeights DefaultFaultWeights();

// One connection's lot: its fault, and a number the fault draws its details
// from (where a body breaks off, how far a range is shifted).
struct ChaosLot {
  ChaosFault fault = ChaosFault::kClean;
  uint64_t detail = 0;
};
ChaosLot DrawLot(uint64_t seed, int file, int connection, const FaultWeights& weights);

// A well mixed step of a 64-bit sequence (SplitMix64): the same numbers on
// every platform and standard library, unlike the standard distributions.
uint64_t MixStep(uint64_t& state);

}  // namespace tw::testing
