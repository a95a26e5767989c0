#include <windows.h>

#include <string>

#include "download/extended_length_path.h"
#include "download/part_file_platform.h"
#include "text/convert.h"

namespace tw::part_file_platform {

std::filesystem::path NativePath(const Text& path) {
  const std::u16string utf16 = GbkToUtf16(path);
  const std::wstring wide(utf16.begin(), utf16.end());
  // Completed as the system completes the short form: absolute, "/" made "\",
  // "." and ".." resolved, trailing dots and blanks of the name dropped.
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  const DWORD length = size > 0 ? GetFullPathNameW(wide.c_str(), size, full.data(), nullptr) : 0;
  if (length == 0 || length >= size) return wide;
  full.resize(length);
  if (full.size() < kExtendedLengthFrom) return wide;
  const std::u16string extended = ExtendedLengthForm(std::u16string(full.begin(), full.end()));
  return std::wstring(extended.begin(), extended.end());
}

bool Exists(const std::filesystem::path& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<int64_t> RegularFileSize(const std::filesystem::path& file) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  // A reparse point (a link) to a file is not one: its attributes are its own.
  if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return std::nullopt;
  }
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                              data.nFileSizeLow);
}

void RemoveFile(const std::filesystem::path& file) { DeleteFileW(file.c_str()); }

std::optional<int64_t> AvailableBytes(const std::filesystem::path& folder) {
  // A network folder must end in a backslash here; any folder may.
  std::wstring name = folder.native();
  if (!name.ends_with(L'\\')) name += L'\\';
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(name.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return static_cast<int64_t>(available.QuadPart);
}

// The record always goes to the sidecar file on Windows: it travels with the
// part file whatever the file system is (FAT32 sticks, network shares).
std::optional<std::string> ReadAttribute(const std::filesystem::path&) { return std::nullopt; }
bool WriteAttribute(const std::filesystem::path&, const std::string&) { return false; }
void RemoveAttribute(const std::filesystem::path&) {}

bool WriteSmallFile(const std::filesystem::path& file, const std::string& content,
                    std::string* error) {
  const auto fail = [error](const char* what) {
    if (error) *error = std::string(what) + ": system error " + std::to_string(GetLastError());
    return false;
  };
  const DWORD existing = GetFileAttributesW(file.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES &&
      (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return fail("open: not a regular file");
  }
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return fail("open");
  DWORD written = 0;
  const bool ok =
      content.empty() ||
      (WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
       written == content.size());
  const DWORD writeError = GetLastError();
  const bool closed = CloseHandle(h) != 0;
  if (!ok) {
    SetLastError(writeError != 0 ? writeError : ERROR_DISK_FULL);
    return fail("write");
  }
  return closed || fail("close");
}

bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to,
              std::string* error) {
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  if (error) *error = "rename: system error " + std::to_string(GetLastError());
  return false;
}

}  // namespace tw::part_file_platform
