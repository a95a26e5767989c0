#include "download/part_file.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "download/body_digests.h"
#include "text/convert.h"

namespace tw {
namespace {

constexpr char kAttribute[] = "user.tarnwick.resume";
constexpr char kSidecarSuffix[] = ".part.resume";

std::string Native(const Text& path) { return GbkToUtf8(path); }

std::string Encode(const ResumeRecord& record) {
  return std::to_string(record.total) + " " + record.validator;
}

std::optional<ResumeRecord> Decode(const std::string& text) {
  size_t blank = text.find(' ');
  if (blank == std::string::npos || blank == 0) return std::nullopt;
  ResumeRecord record;
  for (size_t i = 0; i < blank; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    record.total = record.total * 10 + (text[i] - '0');
    if (record.total > (INT64_MAX - 9) / 10) return std::nullopt;
  }
  record.validator = text.substr(blank + 1);
  if (record.validator.empty()) return std::nullopt;
  return record;
}

std::optional<std::string> ReadAttribute(const std::string& path) {
  char value[1024];
  ssize_t n = ::getxattr(path.c_str(), kAttribute, value, sizeof value);
  if (n < 0) return std::nullopt;
  return std::string(value, static_cast<size_t>(n));
}

std::optional<std::string> ReadSidecar(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

Text PartPath(const Text& targetPath) { return targetPath + ".part"; }

std::optional<ResumeRecord> ReadResumeRecord(const Text& targetPath) {
  const std::string part = Native(PartPath(targetPath));
  std::error_code ec;
  if (!std::filesystem::is_regular_file(part, ec)) return std::nullopt;
  std::optional<std::string> text = ReadAttribute(part);
  if (!text) text = ReadSidecar(Native(targetPath) + kSidecarSuffix);
  if (!text) return std::nullopt;
  return Decode(*text);
}

bool StoreResumeRecord(const Text& targetPath, const ResumeRecord& record) {
  const std::string part = Native(PartPath(targetPath));
  const std::string value = Encode(record);
  const std::string sidecar = Native(targetPath) + kSidecarSuffix;
  if (::setxattr(part.c_str(), kAttribute, value.data(), value.size(), 0) == 0) {
    std::remove(sidecar.c_str());  // an older record must not contradict this one
    return true;
  }
  std::ofstream out(sidecar, std::ios::binary | std::ios::trunc);
  out << value;
  out.close();
  return static_cast<bool>(out);
}

void ForgetResumeRecord(const Text& targetPath) {
  ::removexattr(Native(PartPath(targetPath)).c_str(), kAttribute);
  std::remove((Native(targetPath) + kSidecarSuffix).c_str());
}

int64_t ResumableBytes(const Text& targetPath) {
  if (!ReadResumeRecord(targetPath)) return 0;
  std::error_code ec;
  auto size = std::filesystem::file_size(Native(PartPath(targetPath)), ec);
  return ec ? 0 : static_cast<int64_t>(size);
}

std::optional<int64_t> FreeBytesFor(const Text& targetPath) {
  std::filesystem::path folder = std::filesystem::path(Native(targetPath)).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  while (!std::filesystem::exists(folder, ec) && folder.has_parent_path() &&
         folder.parent_path() != folder) {
    folder = folder.parent_path();
  }
  struct statvfs info {};
  if (::statvfs(folder.c_str(), &info) != 0) return std::nullopt;
  return static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize);
}

bool PromotePartFile(const Text& targetPath, std::string* error) {
  const std::string part = Native(PartPath(targetPath));
  // The record is dropped first, so the finished file carries no attribute.
  ForgetResumeRecord(targetPath);
  if (std::rename(part.c_str(), Native(targetPath).c_str()) != 0) {
    if (error) *error = std::string("rename: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool HashPartPrefix(const Text& targetPath, int64_t bytes, BodyDigests& digests,
                    const std::function<bool()>& stopRequested) {
  int fd = ::open(Native(PartPath(targetPath)).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::vector<char> block(BodyDigests::kBlockBytes);
  bool ok = true;
  while (bytes > 0) {
    if (stopRequested && stopRequested()) {
      ok = false;
      break;
    }
    size_t want = static_cast<size_t>(std::min<int64_t>(bytes, static_cast<int64_t>(block.size())));
    ssize_t n = ::read(fd, block.data(), want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    digests.Update(block.data(), static_cast<size_t>(n));
    bytes -= n;
  }
  ::close(fd);
  return ok;
}

bool WriteChecksumFile(const Text& targetPath, const char* extension, const std::string& hex) {
  const std::filesystem::path target(Native(targetPath));
  std::ofstream out(target.string() + "." + extension, std::ios::binary | std::ios::trunc);
  out << hex << "  " << target.filename().string() << "\n";
  out.close();
  return static_cast<bool>(out);
}

}  // namespace tw
