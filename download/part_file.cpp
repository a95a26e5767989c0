#include "download/part_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "download/body_digests.h"
#include "download/part_file_platform.h"
#include "download/volume.h"
#include "text/convert.h"
#include "text/path_separator.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using part_file_platform::NativePath;

constexpr char kSidecarSuffix[] = ".part.resume";

fs::path SidecarPath(const Text& targetPath) { return NativePath(targetPath + kSidecarSuffix); }

constexpr std::string_view kSecure = "https";
constexpr std::string_view kPlain = "http";

// "<total> <https|http> <validator>"; the validator may hold blanks (a date).
std::string Encode(const ResumeRecord& record) {
  return std::to_string(record.total) + " " + std::string(record.secure ? kSecure : kPlain) + " " +
         record.validator;
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
  const size_t second = text.find(' ', blank + 1);
  if (second == std::string::npos) return std::nullopt;
  const std::string_view scheme(text.data() + blank + 1, second - blank - 1);
  if (scheme != kSecure && scheme != kPlain) return std::nullopt;
  record.secure = scheme == kSecure;
  record.validator = text.substr(second + 1);
  if (record.validator.empty()) return std::nullopt;
  return record;
}

std::optional<std::string> ReadSidecar(const fs::path& path) {
  if (!part_file_platform::RegularFileSize(path)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

Text PartPath(const Text& targetPath) { return targetPath + ".part"; }

std::optional<ResumeRecord> ReadResumeRecord(const Text& targetPath) {
  const fs::path part = NativePath(PartPath(targetPath));
  if (!part_file_platform::RegularFileSize(part)) return std::nullopt;
  std::optional<std::string> text = part_file_platform::ReadAttribute(part);
  if (!text) text = ReadSidecar(SidecarPath(targetPath));
  if (!text) return std::nullopt;
  return Decode(*text);
}

bool StoreResumeRecord(const Text& targetPath, const ResumeRecord& record) {
  const std::string value = Encode(record);
  if (part_file_platform::WriteAttribute(NativePath(PartPath(targetPath)), value)) {
    // An older record must not contradict this one.
    part_file_platform::RemoveFile(SidecarPath(targetPath));
    return true;
  }
  return part_file_platform::WriteSmallFile(SidecarPath(targetPath), value, nullptr);
}

void ForgetResumeRecord(const Text& targetPath) {
  part_file_platform::RemoveAttribute(NativePath(PartPath(targetPath)));
  part_file_platform::RemoveFile(SidecarPath(targetPath));
}

int64_t ResumableBytes(const Text& targetPath) {
  if (!ReadResumeRecord(targetPath)) return 0;
  return part_file_platform::RegularFileSize(NativePath(PartPath(targetPath))).value_or(0);
}

std::optional<int64_t> FreeBytesFor(const Text& targetPath) {
  return part_file_platform::AvailableBytes(NearestExistingFolder(targetPath));
}

bool PromotePartFile(const Text& targetPath, std::string* error) {
  // The record is dropped first, so the finished file carries no attribute.
  ForgetResumeRecord(targetPath);
  return part_file_platform::MoveOver(NativePath(PartPath(targetPath)), NativePath(targetPath),
                                      error);
}

bool HashPartPrefix(const Text& targetPath, int64_t bytes, BodyDigests& digests,
                    const std::function<bool()>& stopRequested) {
  std::ifstream in(NativePath(PartPath(targetPath)), std::ios::binary);
  if (!in) return false;
  std::vector<char> block(BodyDigests::kBlockBytes);
  while (bytes > 0) {
    if (stopRequested && stopRequested()) return false;
    const auto want =
        static_cast<std::streamsize>(std::min<int64_t>(bytes, static_cast<int64_t>(block.size())));
    in.read(block.data(), want);
    const std::streamsize n = in.gcount();
    if (n <= 0) return false;
    digests.Update(block.data(), static_cast<size_t>(n));
    bytes -= n;
  }
  return true;
}

bool WriteChecksumFile(const Text& targetPath, const char* extension, const std::string& hex,
                       std::string* error) {
  // The name as the user typed it, after the last separator; the scan steps
  // over two-byte characters, whose second byte may look like a backslash.
  const size_t slash = FindLastText(targetPath, kPathSeparator);
  const Text name = slash == kNotFound ? targetPath : targetPath.substr(slash + 1);
  const std::string line = hex + "  " + GbkToUtf8(name) + "\n";
  return part_file_platform::WriteSmallFile(NativePath(targetPath + "." + extension), line, error);
}

void RemoveChecksumFile(const Text& targetPath, const char* extension) {
  part_file_platform::RemoveFile(NativePath(targetPath + "." + extension));
}

}  // namespace tw
