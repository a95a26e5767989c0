#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "download/target_file.h"
#include "text/convert.h"

namespace tw {

namespace {

std::string Reason(const char* what, int err) {
  // strerror: its buffer is the thread's own in glibc.
  return std::string(what) + ": " + std::strerror(err);  // NOLINT(concurrency-mt-unsafe)
}

}  // namespace

bool TargetFile::OpenNative(const Text& path, int64_t keepBytes) {
  std::filesystem::path native(GbkToUtf8(path));
  if (native.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(native.parent_path(), ec);
    // A failure here shows up as a failed open, with the open's reason.
  }
  // No link is followed, and a FIFO must not block the open: what the name
  // holds is judged on the open descriptor before a byte is cut or written.
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  const int fd = ::open(native.c_str(), flags, 0666);
  if (fd < 0) {
    notRegular_ = errno == ELOOP || errno == EISDIR || errno == ENXIO;
    error_ = notRegular_ ? "open: not a regular file" : Reason("open", errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    notRegular_ = true;
    error_ = "open: not a regular file";
    ::close(fd);
    return false;
  }
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
      ::ftruncate(fd, keepBytes > 0 ? keepBytes : 0) != 0 ||
      ::lseek(fd, keepBytes > 0 ? keepBytes : 0, SEEK_SET) != (keepBytes > 0 ? keepBytes : 0)) {
    error_ = Reason("open", errno);
    ::close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

bool TargetFile::WriteAll(const char* data, size_t size) {
  const int fd = static_cast<int>(handle_);
  while (size > 0) {
    ++writeCalls_;
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = Reason("write", errno);
      return false;
    }
    if (n == 0) {
      error_ = Reason("write", ENOSPC);
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
    writtenBytes_ += n;
  }
  return true;
}

bool TargetFile::CloseNative() {
  const int fd = static_cast<int>(handle_);
  handle_ = kNoHandle;
  // Not retried on EINTR: on Linux the descriptor is gone either way.
  if (::close(fd) != 0) {
    error_ = Reason("close", errno);
    return false;
  }
  return true;
}

}  // namespace tw
