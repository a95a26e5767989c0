#include <sys/xattr.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "download/part_file_platform.h"
#include "text/convert.h"

namespace tw::part_file_platform {
namespace {

constexpr char kAttribute[] = "user.tarnwick.resume";

}  // namespace

std::filesystem::path NativePath(const Text& path) { return GbkToUtf8(path); }

bool Exists(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::optional<int64_t> RegularFileSize(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  const auto size = std::filesystem::file_size(file, ec);
  if (ec) return std::nullopt;
  return static_cast<int64_t>(size);
}

void RemoveFile(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::remove(file, ec);
}

std::optional<int64_t> AvailableBytes(const std::filesystem::path& folder) {
  std::error_code ec;
  const std::filesystem::space_info space = std::filesystem::space(folder, ec);
  if (ec) return std::nullopt;
  return static_cast<int64_t>(space.available);
}

std::optional<std::string> ReadAttribute(const std::filesystem::path& file) {
  char value[1024];
  const ssize_t n = ::getxattr(file.c_str(), kAttribute, value, sizeof value);
  if (n < 0) return std::nullopt;
  return std::string(value, static_cast<size_t>(n));
}

bool WriteAttribute(const std::filesystem::path& file, const std::string& value) {
  return ::setxattr(file.c_str(), kAttribute, value.data(), value.size(), 0) == 0;
}

void RemoveAttribute(const std::filesystem::path& file) { ::removexattr(file.c_str(), kAttribute); }

bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to,
              std::string* error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  // strerror: its buffer is the thread's own in glibc.
  if (error)
    *error = std::string("rename: ") + std::strerror(errno);  // NOLINT(concurrency-mt-unsafe)
  return false;
}

}  // namespace tw::part_file_platform
