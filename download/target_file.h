// The file a download writes, with its write-combining buffer.
//
// The buffer is shared code (target_file.cpp); opening, writing and closing
// the file are the system's (target_file_posix.cpp, target_file_win32.cpp).
//
// Chunks are written in arrival order. Small chunks are gathered in the buffer
// (10240 bytes) so the file sees fewer, larger writes; a chunk that does not
// fit behind the pending bytes makes them go to the file first. A chunk at
// least as large as the buffer is written straight from the caller's memory:
// copying it would only cost time (a TLS connection hands over 16 KiB records,
// a plain one up to the transport's 512 KiB).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "text/text.h"

namespace tw {

class TargetFile {
 public:
  static constexpr int32_t kInitialCapacity = 10240;

  TargetFile() = default;
  ~TargetFile();
  TargetFile(const TargetFile&) = delete;
  TargetFile& operator=(const TargetFile&) = delete;

  // `path` is GBK text; the file system gets its UTF-8 form on POSIX systems,
  // its UTF-16 form on Windows. Missing folders are created. The first
  // `keepBytes` of an existing file stay and writing goes on behind them;
  // anything beyond is cut off, so no tail of an older, longer file survives.
  // A symbolic link (a reparse point on Windows) under that name is not
  // followed, and only a regular file is written. False (with Error() set,
  // and NotARegularFile() when that was why) when it cannot be opened.
  bool Open(const Text& path, int64_t keepBytes = 0);
  bool NotARegularFile() const { return notRegular_; }
  bool IsOpen() const { return handle_ != kNoHandle; }

  // False when the buffer cannot grow or a write failed; nothing more may be
  // appended then.
  bool Append(const char* data, size_t size);
  // Writes the pending bytes.
  bool Flush();
  // Closes the file; pending bytes are dropped. False when closing reported an
  // error (some file systems report a failed write only here).
  bool Close();
  // Frees the buffer; a later Append starts again at the initial capacity.
  void ReleaseBuffer();

  int64_t WrittenBytes() const { return writtenBytes_; }
  size_t PendingBytes() const { return pending_; }
  size_t Capacity() const { return capacity_; }
  int64_t WriteCalls() const { return writeCalls_; }
  const std::string& Error() const { return error_; }

 private:
  // A file descriptor, or a Windows file handle.
  using NativeHandle = std::intptr_t;
  static constexpr NativeHandle kNoHandle = -1;

  // The system's part.
  bool OpenNative(const Text& path, int64_t keepBytes);
  bool WriteAll(const char* data, size_t size);
  bool CloseNative();

  bool Reserve(size_t size);

  NativeHandle handle_ = kNoHandle;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0;
  size_t pending_ = 0;
  int64_t writtenBytes_ = 0;
  int64_t writeCalls_ = 0;
  std::string error_;
  bool notRegular_ = false;
};

}  // namespace tw
