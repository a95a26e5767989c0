#include "download/target_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "text/convert.h"

namespace tw {

TargetFile::~TargetFile() { Close(); }

bool TargetFile::Open(const Text& path, int64_t keepBytes) {
  Close();
  error_.clear();
  writtenBytes_ = 0;
  pending_ = 0;
  if (path.empty()) {
    error_ = "empty target path";
    return false;
  }
  std::filesystem::path native(GbkToUtf8(path));
  if (native.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(native.parent_path(), ec);
    // A failure here shows up as a failed open, with the open's reason.
  }
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (keepBytes > 0 ? 0 : O_TRUNC);
  fd_ = ::open(native.c_str(), flags, 0666);
  if (fd_ < 0) {
    SetError("open", errno);
    return false;
  }
  if (keepBytes > 0) {
    if (::ftruncate(fd_, keepBytes) != 0 || ::lseek(fd_, keepBytes, SEEK_SET) != keepBytes) {
      SetError("open", errno);
      Close();
      return false;
    }
    writtenBytes_ = keepBytes;
  }
  return true;
}

bool TargetFile::Reserve(size_t size) {
  if (size <= capacity_ && buffer_) return true;
  size_t capacity = std::max<size_t>(size, kInitialCapacity);
  std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
  if (!grown) {
    error_ = "out of memory for the write buffer";
    return false;
  }
  if (pending_ > 0) std::memcpy(grown.get(), buffer_.get(), pending_);
  buffer_ = std::move(grown);
  capacity_ = capacity;
  return true;
}

bool TargetFile::Append(const char* data, size_t size) {
  if (fd_ < 0) return false;
  if (size == 0) return true;
  if (!Reserve(kInitialCapacity)) return false;
  if (pending_ + size > capacity_) {
    if (!Flush()) return false;
    if (size >= capacity_) return WriteAll(data, size);
  }
  std::memcpy(buffer_.get() + pending_, data, size);
  pending_ += size;
  return true;
}

bool TargetFile::Flush() {
  if (fd_ < 0) return false;
  if (pending_ == 0) return true;
  size_t size = pending_;
  pending_ = 0;
  return WriteAll(buffer_.get(), size);
}

bool TargetFile::WriteAll(const char* data, size_t size) {
  while (size > 0) {
    ++writeCalls_;
    ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetError("write", errno);
      return false;
    }
    if (n == 0) {
      SetError("write", ENOSPC);
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
    writtenBytes_ += n;
  }
  return true;
}

bool TargetFile::Close() {
  if (fd_ < 0) return true;
  int fd = fd_;
  fd_ = -1;
  pending_ = 0;
  // Not retried on EINTR: on Linux the descriptor is gone either way.
  if (::close(fd) != 0) {
    SetError("close", errno);
    return false;
  }
  return true;
}

void TargetFile::ReleaseBuffer() {
  buffer_.reset();
  capacity_ = 0;
  pending_ = 0;
}

void TargetFile::SetError(const char* what, int err) {
  error_ = std::string(what) + ": " + std::strerror(err);
}

}  // namespace tw
