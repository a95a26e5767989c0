#include "app/target_path.h"

#include <cstring>

#include "text/path_separator.h"

namespace tw {
Text DownloadTargetPath(const Text& folder, const Text& fileName) {
  const Text joined = folder + kPathSeparator + fileName + ".iso";
  const std::string_view prefix = kNetworkPathPrefix;
  const std::size_t kept = !prefix.empty() && StartsWithText(joined, prefix) ? prefix.size() : 0;
  return joined.substr(0, kept) +
         ReplaceText(std::string_view(joined).substr(kept), kDoubledPathSeparator, kPathSeparator);
}

bool EndsWithSeparator(std::string_view folder) {
  const std::size_t at = FindLastText(folder, kPathSeparator);
  return at != kNotFound && at + std::strlen(kPathSeparator) == folder.size();
}

}  // namespace tw
