#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "download/part_file_platform.h"
#include "download/target_file.h"

namespace tw {

namespace {

std::string Reason(const char* what, DWORD err) {
  return std::string(what) + ": system error " + std::to_string(err);
}

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Creates `folder` and the folders above it that are missing. Not
// std::filesystem::create_directories: it asks the C runtime's stat, which
// refuses the "?" of an extended-length path.
void CreateFolders(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> missing;
  for (std::filesystem::path at = folder; !part_file_platform::Exists(at); at = at.parent_path()) {
    missing.push_back(at);
    if (!at.has_parent_path() || at.parent_path() == at) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!CreateDirectoryW(it->c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return;
  }
}

// Writes larger than this go in several calls: WriteFile counts in 32 bits.
constexpr size_t kMaxWrite = 1u << 30;

}  // namespace

bool TargetFile::OpenNative(const Text& path, int64_t keepBytes) {
  const std::filesystem::path native = part_file_platform::NativePath(path);
  const std::wstring& wide = native.native();
  if (native.has_parent_path() && native.parent_path() != native.root_path()) {
    // A failure here shows up as a failed open, with the open's reason.
    CreateFolders(native.parent_path());
  }
  // A reparse point (a link, a junction) is opened itself, not followed, and
  // then refused with anything else that is not a plain file; the size is cut
  // only after that.
  const DWORD existing = GetFileAttributesW(wide.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES &&
      (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    notRegular_ = true;
    error_ = "open: not a regular file";
    return false;
  }
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error_ = Reason("open", GetLastError());
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    notRegular_ = true;
    error_ = "open: not a regular file";
    CloseHandle(file);
    return false;
  }
  LARGE_INTEGER at;
  at.QuadPart = keepBytes > 0 ? keepBytes : 0;
  if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) {
    error_ = Reason("open", GetLastError());
    CloseHandle(file);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

bool TargetFile::WriteAll(const char* data, size_t size) {
  while (size > 0) {
    ++writeCalls_;
    DWORD written = 0;
    const DWORD piece = static_cast<DWORD>(size < kMaxWrite ? size : kMaxWrite);
    if (!WriteFile(AsHandle(handle_), data, piece, &written, nullptr)) {
      error_ = Reason("write", GetLastError());
      return false;
    }
    if (written == 0) {
      error_ = Reason("write", ERROR_DISK_FULL);
      return false;
    }
    data += written;
    size -= written;
    writtenBytes_ += written;
  }
  return true;
}

bool TargetFile::CloseNative() {
  HANDLE file = AsHandle(handle_);
  handle_ = kNoHandle;
  if (!CloseHandle(file)) {
    error_ = Reason("close", GetLastError());
    return false;
  }
  return true;
}

}  // namespace tw
