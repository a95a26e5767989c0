#include "net/time_limits.h"

#include <algorithm>

namespace tw::net {
namespace {

// How long a wait may go on when no limit is in force.
constexpr int64_t kUnlimitedWaitMs = INT32_MAX;

}  // namespace

HopClock::HopClock(const Timeouts& limits) : limits_(limits), origin_(Clock::now()) {
  if (limits_.minSpeedWindowMs > 0) {
    slotMs_ = std::max<int64_t>(1, limits_.minSpeedWindowMs / kSlotsPerWindow);
  }
  slotIndex_.fill(-1);
}

int64_t HopClock::Now() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - origin_).count();
}

void HopClock::Enter(HopPhase phase) {
  if (phase <= phase_) return;
  phase_ = phase;
  phaseStart_ = lastActivity_ = Now();
  if (phase == HopPhase::kBody) bodyStart_ = phaseStart_;
}

void HopClock::Activity() { lastActivity_ = Now(); }

void HopClock::Body(int64_t bytes) {
  const int64_t now = Now();
  lastActivity_ = now;
  const int64_t index = now / slotMs_;
  const auto slot = static_cast<size_t>(index % kSlots);
  if (slotIndex_[slot] != index) {
    slotIndex_[slot] = index;
    slotBytes_[slot] = 0;
  }
  slotBytes_[slot] += bytes;
}

int64_t HopClock::BytesInWindow(int64_t now) const {
  const int64_t newest = now / slotMs_;
  int64_t sum = 0;
  for (int i = 0; i < kSlots; ++i) {
    if (slotIndex_[i] > newest - kSlotsPerWindow && slotIndex_[i] <= newest) sum += slotBytes_[i];
  }
  return sum;
}

std::optional<TransferEnd> HopClock::Expired() {
  const int64_t now = Now();
  const Timeouts& t = limits_;
  switch (phase_) {
    case HopPhase::kResolving:
      if (t.resolveMs > 0 && now - phaseStart_ > t.resolveMs) {
        detail_ = "name lookup timed out";
        return TransferEnd::kCouldNotConnect;
      }
      break;
    case HopPhase::kConnecting:
      if (t.connectMs > 0 && now - phaseStart_ > t.connectMs) {
        detail_ = "connect timed out";
        return TransferEnd::kCouldNotConnect;
      }
      break;
    case HopPhase::kSending:
      if (t.sendMs > 0 && now - lastActivity_ > t.sendMs) {
        detail_ = "send timed out";
        return TransferEnd::kNotSent;
      }
      break;
    case HopPhase::kWaiting:
      if (t.receiveMs > 0 && now - lastActivity_ > t.receiveMs) {
        detail_ = "receive timed out";
        return TransferEnd::kNoResponse;
      }
      break;
    case HopPhase::kBody:
      if (t.receiveMs > 0 && now - lastActivity_ > t.receiveMs) {
        detail_ = "receive timed out";
        return TransferEnd::kSilent;
      }
      if (t.minSpeedBytes > 0 && t.minSpeedWindowMs > 0 && now - bodyStart_ >= t.minSpeedWindowMs &&
          BytesInWindow(now) < t.minSpeedBytes) {
        detail_ = "fewer than " + std::to_string(t.minSpeedBytes) + " bytes in " +
                  std::to_string(t.minSpeedWindowMs) + " ms";
        return TransferEnd::kSilent;
      }
      break;
  }
  return std::nullopt;
}

int64_t HopClock::MsToDeadline() const {
  const int64_t now = Now();
  const Timeouts& t = limits_;
  int64_t limit = 0;
  int64_t from = lastActivity_;
  switch (phase_) {
    case HopPhase::kResolving:
      limit = t.resolveMs;
      from = phaseStart_;
      break;
    case HopPhase::kConnecting:
      limit = t.connectMs;
      from = phaseStart_;
      break;
    case HopPhase::kSending:
      limit = t.sendMs;
      break;
    case HopPhase::kWaiting:
    case HopPhase::kBody:
      limit = t.receiveMs;
      break;
  }
  int64_t wait = limit > 0 ? std::max<int64_t>(1, limit + 1 - (now - from)) : kUnlimitedWaitMs;
  if (phase_ == HopPhase::kBody && t.minSpeedBytes > 0 && t.minSpeedWindowMs > 0) {
    // Once a whole window has passed, the speed can fall short at any slot.
    const int64_t windowEnds = bodyStart_ + t.minSpeedWindowMs - now;
    wait = std::min(wait, std::max<int64_t>(windowEnds, slotMs_));
  }
  return wait;
}

}  // namespace tw::net
