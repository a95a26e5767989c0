// The mean of the last 60 speed samples, in float32 arithmetic throughout so
// that the displayed speed comes out the same on every machine.
#pragma once

#include <array>
#include <cstdint>

#include "download/critical_section_lock.h"

namespace tw {

class SpeedMeter {
 public:
  static constexpr int32_t kCapacity = 60;

  void AddSample(float value);
  // Mean of the samples held; 0 before the first one.
  float Average();
  int32_t Count();

 private:
  CriticalSectionLock lock_;
  std::array<float, kCapacity> samples_{};
  int32_t writeIndex_ = 0;
  int32_t count_ = 0;
};

}  // namespace tw
