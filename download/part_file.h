// Where a download keeps its unfinished body, and what it remembers of it.
//
// The body goes to the target path + ".part" and is renamed to the target only
// once it is complete, so a file under the final name is always whole. Beside
// the part file the download keeps the response's validator (its ETag, else
// its Last-Modified) and the file's total size: in an extended attribute of the
// part file where the file system has them, else in a small sidecar file
// (target + ".part.resume") that goes with the part file. A later download of
// the same target continues from the part file only when that record is there.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "text/text.h"

namespace tw {

class BodyDigests;

struct ResumeRecord {
  int64_t total = 0;  // 0: not known
  std::string validator;
  bool secure = false;  // the part's bytes came over https, so only https may go on with it
};

Text PartPath(const Text& targetPath);

// The record kept for the part file of `targetPath`, when both are there and
// the part file is a regular file (not a link).
std::optional<ResumeRecord> ReadResumeRecord(const Text& targetPath);
// False when neither the attribute nor the sidecar file could be written.
bool StoreResumeRecord(const Text& targetPath, const ResumeRecord& record);
// Removes the record (attribute and sidecar); the part file stays.
void ForgetResumeRecord(const Text& targetPath);

// Bytes a download of `targetPath` would continue from: the part file's
// length when its record is kept, else 0.
int64_t ResumableBytes(const Text& targetPath);

// Free bytes on the file system that will hold `targetPath` (its nearest
// existing folder); nullopt when it cannot be told.
std::optional<int64_t> FreeBytesFor(const Text& targetPath);

// Renames the part file to the target, replacing an older file there, and
// drops the record. False, with `error`, when the rename failed.
bool PromotePartFile(const Text& targetPath, std::string* error);

// Feeds the first `bytes` of the part file to `digests`; false when they
// cannot be read or `stopRequested` turned true on the way.
bool HashPartPrefix(const Text& targetPath, int64_t bytes, BodyDigests& digests,
                    const std::function<bool()>& stopRequested);

// Writes "<hex>  <file name>\n" to target + "." + extension, the format that
// `sha256sum -c` and `sha1sum -c` read in the target's folder. False, with
// `error`, when it is not all written (a link under that name is not followed).
bool WriteChecksumFile(const Text& targetPath, const char* extension, const std::string& hex,
                       std::string* error);
void RemoveChecksumFile(const Text& targetPath, const char* extension);

}  // namespace tw
