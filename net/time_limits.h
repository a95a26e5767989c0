// The time limits of one hop, the same for every transport: each phase has its
// limit, and running out of it ends the hop the way that phase ends.
//
// Name lookup and connect (with the TLS handshake where the transport does it
// there) are limited from the moment they begin; sending, waiting for the
// head and the body by the longest stretch without progress. A body must also
// keep a minimum speed: fewer than `minSpeedBytes` in any `minSpeedWindowMs`
// counts as silence, so a server that trickles a byte now and then cannot hold
// a download for hours.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "net/transfer_end.h"

namespace tw::net {

// Milliseconds (bytes for the speed); 0 means no limit. The defaults are the
// platform's own, used where the caller sets none.
struct Timeouts {
  int32_t resolveMs = 30000;
  int32_t connectMs = 60000;  // TCP connect and TLS handshake
  int32_t sendMs = 30000;     // longest stretch in which nothing of the request goes out
  int32_t receiveMs = 30000;  // longest stretch without data while waiting for headers or body
  int32_t minSpeedBytes = 32 * 1024;
  int32_t minSpeedWindowMs = 30000;

  // One limit for the four waits; the minimum speed stays the platform's.
  static Timeouts All(int32_t ms) { return {ms, ms, ms, ms}; }
};

enum class HopPhase { kResolving, kConnecting, kSending, kWaiting, kBody };

class HopClock {
 public:
  using Clock = std::chrono::steady_clock;

  explicit HopClock(const Timeouts& limits);

  // Moves on to `phase`; a phase never goes back.
  void Enter(HopPhase phase);
  HopPhase phase() const { return phase_; }
  // Something was sent or received: the stretch without progress starts again.
  void Activity();
  // Body bytes arrived (also counts as activity).
  void Body(int64_t bytes);

  // The end the current phase's limit has come to, with `detail()` saying
  // which limit; nullopt while there is time.
  std::optional<TransferEnd> Expired();
  // Milliseconds until the next limit could run out (at least 1); a long
  // wait when nothing is limited.
  int64_t MsToDeadline() const;
  const std::string& detail() const { return detail_; }

 private:
  // Body bytes counted in slots of a 120th of the speed window (a quarter
  // second for 30 s), in a ring that holds one window.
  static constexpr int kSlots = 128;
  static constexpr int64_t kSlotsPerWindow = 120;

  int64_t Now() const;
  int64_t BytesInWindow(int64_t now) const;

  Timeouts limits_;
  Clock::time_point origin_;
  HopPhase phase_ = HopPhase::kResolving;
  int64_t phaseStart_ = 0;
  int64_t lastActivity_ = 0;
  int64_t bodyStart_ = 0;
  int64_t slotMs_ = 250;
  std::array<int64_t, kSlots> slotBytes_{};
  std::array<int64_t, kSlots> slotIndex_{};
  std::string detail_;
};

}  // namespace tw::net
