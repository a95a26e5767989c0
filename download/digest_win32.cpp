#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <vector>

#include "download/digest.h"

namespace tw {
namespace {

class BcryptDigest final : public Digest {
 public:
  BcryptDigest(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE hash, ULONG length)
      : algorithm_(algorithm), hash_(hash), length_(length) {}
  ~BcryptDigest() override {
    BCryptDestroyHash(hash_);
    BCryptCloseAlgorithmProvider(algorithm_, 0);
  }
  BcryptDigest(const BcryptDigest&) = delete;
  BcryptDigest& operator=(const BcryptDigest&) = delete;

  void Update(const void* data, size_t size) override {
    // BCrypt counts in 32 bits.
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {
      const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
      BCryptHashData(hash_, bytes, piece, 0);
      bytes += piece;
      size -= piece;
    }
  }

  std::string FinishHex() override {
    std::vector<UCHAR> value(length_);
    BCryptFinishHash(hash_, value.data(), length_, 0);
    // A finished hash object is spent: the next digest starts on a new one.
    BCryptDestroyHash(hash_);
    hash_ = nullptr;
    BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(value.size() * 2);
    for (UCHAR byte : value) {
      hex += kHex[byte >> 4];
      hex += kHex[byte & 0xF];
    }
    return hex;
  }

 private:
  BCRYPT_ALG_HANDLE algorithm_;
  BCRYPT_HASH_HANDLE hash_;
  ULONG length_;
};

}  // namespace

std::unique_ptr<Digest> MakeDigest(DigestKind kind) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  const wchar_t* name =
      kind == DigestKind::kSha256 ? BCRYPT_SHA256_ALGORITHM : BCRYPT_SHA1_ALGORITHM;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, name, nullptr, 0))) return nullptr;
  ULONG length = 0;
  ULONG got = 0;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!BCRYPT_SUCCESS(BCryptGetProperty(algorithm, BCRYPT_HASH_LENGTH,
                                        reinterpret_cast<PUCHAR>(&length), sizeof length, &got,
                                        0)) ||
      !BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return nullptr;
  }
  return std::make_unique<BcryptDigest>(algorithm, hash, length);
}

}  // namespace tw
