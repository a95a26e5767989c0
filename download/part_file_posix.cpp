#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

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
  // The name itself: a link to a regular file is not one.
  struct stat info {};
  if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<int64_t>(info.st_size);
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
  const ssize_t n = ::lgetxattr(file.c_str(), kAttribute, value, sizeof value);
  if (n < 0) return std::nullopt;
  return std::string(value, static_cast<size_t>(n));
}

bool WriteAttribute(const std::filesystem::path& file, const std::string& value) {
  return ::lsetxattr(file.c_str(), kAttribute, value.data(), value.size(), 0) == 0;
}

void RemoveAttribute(const std::filesystem::path& file) {
  ::lremovexattr(file.c_str(), kAttribute);
}

bool WriteSmallFile(const std::filesystem::path& file, const std::string& content,
                    std::string* error) {
  // strerror: its buffer is the thread's own in glibc.
  const auto fail = [error](const char* what) {
    if (error)
      *error = std::string(what) + ": " + std::strerror(errno);  // NOLINT(concurrency-mt-unsafe)
    return false;
  };
  const int fd =
      ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
  if (fd < 0) return fail("open");
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return fail("open: not a regular file");
  }
  bool ok = ::ftruncate(fd, 0) == 0;
  for (size_t done = 0; ok && done < content.size();) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (n == 0) errno = ENOSPC;
    if (ok) done += static_cast<size_t>(n);
  }
  const int writeErrno = errno;
  const bool closed = ::close(fd) == 0;
  if (!ok) {
    errno = writeErrno;
    return fail("write");
  }
  return closed || fail("close");
}

bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to,
              std::string* error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  // strerror: its buffer is the thread's own in glibc.
  if (error)
    *error = std::string("rename: ") + std::strerror(errno);  // NOLINT(concurrency-mt-unsafe)
  return false;
}

}  // namespace tw::part_file_platform
