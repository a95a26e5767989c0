// What a download's starter may add to a download: a way to renew an expired
// link, word of why a download failed and of the waits before its retries,
// and for test programs shorter limits.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "net/transfer.h"
#include "text/text.h"

namespace tw {

// Why a download ended without its file.
enum class DownloadFailure {
  kNone,
  kNoUrl,        // nothing to download: the link was not resolved
  kUnreachable,  // no connection or no response at all, try after try
  kRefused,      // the server answered with an error other than the ones below
  kGone,         // 403, 404 or 410, and no fresh link helped
  kBrokeOff,     // the body broke off and every try to continue it failed
  kNoRanges,     // the body broke off again and again, and the server cannot continue it
  kChanged,      // continuations did not fit what is already in the file, try after try
  kNoSpace,      // too little free space for the bytes still to come
  kFatVolume,    // 4 GiB or more, and the target lies on a FAT file system
  kWriteFailed,  // the file or a file beside it could not be written, finished or renamed
  kIncomplete,   // the body ended short of the size the file must have
  kBusy,         // the server stayed busy (500, 502, 503, 504, 429) or asked for a long wait
  kBadAnswer,    // the server's answers could not be used as the file, try after try
  kNotAFile,     // the part file is a link, a folder or a device, not a regular file
};

struct DownloadHooks {
  // Asked at most once per download, on its worker thread, when continuing a
  // broken-off body is answered 403, 404 or 410 (signed links expire): a fresh
  // direct URL for the same file, or empty. It should give up, with an empty
  // result, once `stopRequested` turns true.
  std::function<Text(const std::function<bool()>& stopRequested)> renewUrl;
  // Told why a download failed, on the worker thread, just before its Failed
  // report. `bytesNeeded` is the free space it needed when it had too little.
  std::function<void(DownloadFailure failure, int64_t bytesNeeded)> failed;
  // On the worker thread: true when the download begins to wait before trying
  // again, false when that try begins.
  std::function<void(bool waiting)> retrying;
  // For test programs that start downloads through the registry: time limits
  // and a unit of the waits between tries other than the platform's, since
  // their servers cannot wait half a minute for every silence. The program
  // leaves them unset.
  std::optional<net::Timeouts> timeouts;
  int32_t waitUnitMs = 0;  // 0: the platform's second
};

}  // namespace tw
