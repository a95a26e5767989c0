#include <sys/vfs.h>

#include "download/volume.h"

namespace tw {

bool OnFatFileSystem(const std::filesystem::path& folder) {
  struct statfs info {};
  if (::statfs(folder.c_str(), &info) != 0) return false;
  return IsFatMagic(static_cast<int64_t>(info.f_type));
}

}  // namespace tw
