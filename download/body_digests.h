// The SHA-256 and SHA-1 of a body, computed while it is written.
//
// Each digest runs on a thread of its own, so hashing overlaps the transfer
// instead of slowing it: the writer hands over blocks of up to kBlockBytes and
// goes on at once unless kMaxQueuedBytes are still waiting to be hashed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/digest.h"

namespace tw {

// For the benchmark's comparison only: with false, BodyDigests made from now
// on hash nothing and no checksum files are written. The program never calls it.
void SetBodyDigestsEnabled(bool enabled);

class BodyDigests {
 public:
  static constexpr size_t kBlockBytes = 1 << 20;
  static constexpr size_t kMaxQueuedBytes = 16 << 20;
  static constexpr DigestKind kKinds[] = {DigestKind::kSha256, DigestKind::kSha1};

  BodyDigests();
  ~BodyDigests();
  BodyDigests(const BodyDigests&) = delete;
  BodyDigests& operator=(const BodyDigests&) = delete;

  // False when a digest is not available on this platform; nothing is hashed then.
  bool Available() const { return available_; }
  void Update(const char* data, size_t size);
  // Forgets everything given so far (a download that starts again from 0).
  void Reset();
  // Waits for the queued bytes and gives the hex digests in the order of
  // kKinds; the digests then start again empty.
  std::vector<std::string> Finish();

 private:
  using Block = std::shared_ptr<const std::string>;
  struct Lane {
    std::unique_ptr<Digest> digest;
    std::deque<Block> queue;  // guarded by mutex_
    size_t queuedBytes = 0;   // guarded by mutex_: in the queue or being hashed
    std::thread thread;
  };

  void Hand(const Block& block);
  void RunLane(Lane& lane);
  void FlushPending();
  size_t MostQueuedBytes() const;  // under mutex_

  bool available_ = false;
  std::string pending_;  // the writer's: bytes not yet handed over
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;  // guarded by mutex_
  std::vector<std::unique_ptr<Lane>> lanes_;
};

}  // namespace tw
