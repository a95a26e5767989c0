// Incremental message digests of a download's body, behind one small
// interface so each platform can use its own cryptography library.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace tw {

enum class DigestKind { kSha256, kSha1 };

class Digest {
 public:
  virtual ~Digest() = default;
  virtual void Update(const void* data, size_t size) = 0;
  // Lower-case hexadecimal of the digest of everything given so far; the
  // digest starts again empty afterwards.
  virtual std::string FinishHex() = 0;
};

// Null when the platform's library cannot provide the algorithm.
std::unique_ptr<Digest> MakeDigest(DigestKind kind);

// "sha256" or "sha1": the extension of the checksum file beside the image.
inline const char* DigestExtension(DigestKind kind) {
  return kind == DigestKind::kSha256 ? "sha256" : "sha1";
}

}  // namespace tw
