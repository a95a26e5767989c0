#include <openssl/evp.h>

#include "download/digest.h"

namespace tw {
namespace {

class EvpDigest final : public Digest {
 public:
  EvpDigest(EVP_MD_CTX* context, const EVP_MD* md) : context_(context), md_(md) {}
  ~EvpDigest() override { EVP_MD_CTX_free(context_); }
  EvpDigest(const EvpDigest&) = delete;
  EvpDigest& operator=(const EvpDigest&) = delete;

  void Update(const void* data, size_t size) override {
    if (size > 0) EVP_DigestUpdate(context_, data, size);
  }

  std::string FinishHex() override {
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_, value, &length);
    EVP_DigestInit_ex(context_, md_, nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(std::size_t{length} * 2);
    for (unsigned int i = 0; i < length; ++i) {
      hex += kHex[value[i] >> 4];
      hex += kHex[value[i] & 0xF];
    }
    return hex;
  }

 private:
  EVP_MD_CTX* context_;
  const EVP_MD* md_;
};

}  // namespace

std::unique_ptr<Digest> MakeDigest(DigestKind kind) {
  const EVP_MD* md = kind == DigestKind::kSha256 ? EVP_sha256() : EVP_sha1();
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (context == nullptr) return nullptr;
  if (EVP_DigestInit_ex(context, md, nullptr) != 1) {
    EVP_MD_CTX_free(context);
    return nullptr;
  }
  return std::make_unique<EvpDigest>(context, md);
}

}  // namespace tw
