// What a soak download left on disk, judged against the versions its file had
// on the chaos server.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tw::testing {

class SoakFileCheck {
 public:
  explicit SoakFileCheck(int64_t fileSize) : fileSize_(fileSize) {}

  // Empty when `path` is one whole version out of 0..lastVersion, with a
  // ".sha256" beside it that names that version's digest; else what is wrong.
  std::string Whole(const std::string& path, int lastVersion);
  // Empty when `path` is absent or a prefix of one of the versions.
  std::string Prefix(const std::string& path, int lastVersion);

 private:
  // The version `bytes` begin with, or -1; in `mismatch` where the closest
  // version first differs.
  int VersionOf(const std::string& bytes, int lastVersion, int64_t& mismatch) const;
  const std::string& Sha256(int version);

  int64_t fileSize_;
  std::map<int, std::string> sha256_;
};

}  // namespace tw::testing
