#include "download/target_file.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tw {

TargetFile::~TargetFile() { Close(); }

bool TargetFile::Open(const Text& path, int64_t keepBytes) {
  Close();
  error_.clear();
  notRegular_ = false;
  writtenBytes_ = 0;
  pending_ = 0;
  if (path.empty()) {
    error_ = "empty target path";
    return false;
  }
  if (!OpenNative(path, keepBytes)) return false;
  writtenBytes_ = keepBytes > 0 ? keepBytes : 0;
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
  if (!IsOpen()) return false;
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
  if (!IsOpen()) return false;
  if (pending_ == 0) return true;
  size_t size = pending_;
  pending_ = 0;
  return WriteAll(buffer_.get(), size);
}

bool TargetFile::Close() {
  if (!IsOpen()) return true;
  pending_ = 0;
  return CloseNative();
}

void TargetFile::ReleaseBuffer() {
  buffer_.reset();
  capacity_ = 0;
  pending_ = 0;
}

}  // namespace tw
