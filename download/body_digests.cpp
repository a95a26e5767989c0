#include "download/body_digests.h"

#include <algorithm>
#include <atomic>

namespace tw {

namespace {
std::atomic<bool> digestsEnabled{true};

// A block that empties a lane's digest instead of feeding it.
const std::shared_ptr<const std::string> kResetMark = std::make_shared<const std::string>();

// What a queued block counts for: the reset mark counts too, so a lane is
// idle only when it has done it.
size_t Weight(const std::string& block) { return std::max<size_t>(block.size(), 1); }
}  // namespace

void SetBodyDigestsEnabled(bool enabled) { digestsEnabled = enabled; }

BodyDigests::BodyDigests() {
  if (!digestsEnabled) return;
  for (DigestKind kind : kKinds) {
    auto lane = std::make_unique<Lane>();
    lane->digest = MakeDigest(kind);
    if (!lane->digest) return;
    lanes_.push_back(std::move(lane));
  }
  available_ = true;
  for (auto& lane : lanes_) {
    Lane* l = lane.get();
    l->thread = std::thread([this, l] { RunLane(*l); });
  }
}

BodyDigests::~BodyDigests() {
  {
    std::lock_guard guard(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (auto& lane : lanes_) {
    if (lane->thread.joinable()) lane->thread.join();
  }
}

size_t BodyDigests::MostQueuedBytes() const {
  size_t most = 0;
  for (const auto& lane : lanes_) most = std::max(most, lane->queuedBytes);
  return most;
}

void BodyDigests::Hand(const Block& block) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return MostQueuedBytes() < kMaxQueuedBytes; });
  for (auto& lane : lanes_) {
    lane->queue.push_back(block);
    lane->queuedBytes += Weight(*block);
  }
  lock.unlock();
  changed_.notify_all();
}

void BodyDigests::RunLane(Lane& lane) {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || !lane.queue.empty(); });
    if (lane.queue.empty()) return;  // stopping, and nothing left
    Block block = lane.queue.front();
    lane.queue.pop_front();
    lock.unlock();
    if (block == kResetMark) {
      lane.digest->FinishHex();
    } else {
      lane.digest->Update(block->data(), block->size());
    }
    lock.lock();
    lane.queuedBytes -= Weight(*block);
    changed_.notify_all();
  }
}

void BodyDigests::FlushPending() {
  if (pending_.empty()) return;
  Hand(std::make_shared<const std::string>(std::move(pending_)));
  pending_.clear();
}

void BodyDigests::Update(const char* data, size_t size) {
  if (!available_) return;
  while (size > 0) {
    if (pending_.capacity() < kBlockBytes) pending_.reserve(kBlockBytes);
    size_t take = std::min(size, kBlockBytes - pending_.size());
    pending_.append(data, take);
    data += take;
    size -= take;
    if (pending_.size() == kBlockBytes) FlushPending();
  }
}

void BodyDigests::Reset() {
  if (!available_) return;
  pending_.clear();
  Hand(kResetMark);
}

std::vector<std::string> BodyDigests::Finish() {
  std::vector<std::string> hex;
  if (!available_) return hex;
  FlushPending();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return MostQueuedBytes() == 0; });
  // Every lane is idle now, so its digest is the writer's to read.
  for (auto& lane : lanes_) hex.push_back(lane->digest->FinishHex());
  return hex;
}

}  // namespace tw
