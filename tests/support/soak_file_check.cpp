#include "tests/support/soak_file_check.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "download/digest.h"
#include "tests/support/chaos_server.h"
#include "tests/support/files.h"

namespace tw::testing {

int SoakFileCheck::VersionOf(const std::string& bytes, int lastVersion, int64_t& mismatch) const {
  mismatch = -1;
  const auto size = static_cast<int64_t>(bytes.size());
  for (int version = 0; version <= lastVersion; ++version) {
    const std::string expected = ChaosBytes(version, 0, size);
    if (bytes == expected) return version;
    int64_t same = 0;
    while (same < size && bytes[static_cast<size_t>(same)] == expected[static_cast<size_t>(same)]) {
      ++same;
    }
    mismatch = std::max(mismatch, same);
  }
  return -1;
}

const std::string& SoakFileCheck::Sha256(int version) {
  auto found = sha256_.find(version);
  if (found != sha256_.end()) return found->second;
  std::unique_ptr<Digest> digest = MakeDigest(DigestKind::kSha256);
  const std::string bytes = ChaosBytes(version, 0, fileSize_);
  digest->Update(bytes.data(), bytes.size());
  return sha256_[version] = digest->FinishHex();
}

std::string SoakFileCheck::Whole(const std::string& path, int lastVersion) {
  if (!std::filesystem::exists(path)) return "no file under the final name";
  const std::string bytes = ReadFile(path);
  if (static_cast<int64_t>(bytes.size()) != fileSize_) {
    return "the file has " + std::to_string(bytes.size()) + " bytes, not " +
           std::to_string(fileSize_);
  }
  int64_t mismatch = 0;
  const int version = VersionOf(bytes, lastVersion, mismatch);
  if (version < 0) {
    return "the file is no version of the served file (wrong from byte " +
           std::to_string(mismatch) + ")";
  }
  std::ifstream in(path + ".sha256");
  std::string named;
  in >> named;
  if (named != Sha256(version)) {
    return "the .sha256 says '" + named + "', version " + std::to_string(version) + " is " +
           Sha256(version);
  }
  if (std::filesystem::exists(path + ".part")) return "a .part left beside the finished file";
  return "";
}

std::string SoakFileCheck::Prefix(const std::string& path, int lastVersion) {
  if (!std::filesystem::exists(path)) return "";
  const std::string bytes = ReadFile(path);
  if (static_cast<int64_t>(bytes.size()) > fileSize_) {
    return "the .part holds " + std::to_string(bytes.size()) + " bytes, more than the file's " +
           std::to_string(fileSize_);
  }
  int64_t mismatch = 0;
  if (VersionOf(bytes, lastVersion, mismatch) >= 0) return "";
  return "the .part is no prefix of a version (wrong from byte " + std::to_string(mismatch) + ")";
}

}  // namespace tw::testing
