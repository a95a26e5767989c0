// What a download reports to its starter, and the shape of the routine that
// receives the reports.
#pragma once

#include <cstdint>
#include <functional>

#include "text/text.h"

namespace tw {

enum DownloadStatus : int32_t { Started = 1, Tick = 2, Ended = 3, Failed = -1 };

// tag, status, totalBytes, receivedBytes, remainingBytes, fraction, speed, elapsedMs, targetPath.
// Runs on engine threads, possibly several at once; an empty callback means no
// reports at all.
using ProgressCallback = std::function<void(int32_t, int32_t, int64_t, int64_t, int64_t, float,
                                            float, int32_t, const Text&)>;

}  // namespace tw
