// Starting the download and showing its progress, completion and failure.
#pragma once

#include <cstdint>

#include "download/download_hooks.h"
#include "text/text.h"

namespace tw {

inline constexpr int32_t kDownloadId = 1;

// Thread routine: builds the target path and starts the download.
void BeginDownload();

// Starts BeginDownload on a thread of its own.
void LaunchBeginDownload();

// True while a BeginDownload thread has not finished: the program must not
// tear down its state under it.
bool DownloadStarterRunning();

// The download's progress callback; runs on engine threads.
void OnDownloadProgress(int32_t tag, int32_t status, int64_t totalBytes, int64_t bytesDone,
                        int64_t remainingBytes, float fraction, float speed, int32_t elapsedMs,
                        const Text& targetPath);

// CancelButton.
void CancelDownload();

// Rounds half away from zero at `digits` decimals (negative: tens, hundreds...).
double RoundHalfUp(double value, int digits);

// "percent%   speedMB/s   amount(MB|GB)" for a report of `bytesDone` bytes,
// `previousBytesDone` half a second earlier.
Text ProgressStatusText(float fraction, int64_t bytesDone, int64_t previousBytesDone);

// The failure box's message for `failure`: one short sentence; the amount
// still needed when the free space was short.
Text FailureMessage(DownloadFailure failure, int64_t bytesNeeded);

}  // namespace tw
