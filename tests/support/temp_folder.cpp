#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <random>

namespace tw::testing {

TempFolder::TempFolder(const std::string& tag) {
  std::random_device random;
  // Tests of several programs run at once; a name taken by another is tried again.
  for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
    const std::filesystem::path candidate =
        std::filesystem::temp_directory_path() / ("tw_" + tag + "_" + std::to_string(random()));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) dir_ = candidate;
  }
  if (dir_.empty()) std::abort();
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

}  // namespace tw::testing
