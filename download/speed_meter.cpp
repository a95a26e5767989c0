#include "download/speed_meter.h"

#include <mutex>

namespace tw {

void SpeedMeter::AddSample(float value) {
  std::lock_guard guard(lock_);
  if (writeIndex_ == kCapacity) writeIndex_ = 0;
  samples_[writeIndex_++] = value;
  if (count_ < kCapacity) ++count_;
}

float SpeedMeter::Average() {
  std::lock_guard guard(lock_);
  if (count_ == 0) return 0.0f;
  // Once the ring has wrapped every slot holds a sample, so summing in storage
  // order is the same as summing the newest 60.
  float sum = 0.0f;
  for (int32_t i = 0; i < count_; ++i) sum = sum + samples_[i];
  return sum / static_cast<float>(count_);
}

int32_t SpeedMeter::Count() {
  std::lock_guard guard(lock_);
  return count_;
}

}  // namespace tw
