// One download: a single GET whose body goes, in arrival order, into one file,
// on a worker thread of its own, with progress reports to its starter.
//
// Reports a starter sees, in order: Started (on a thread of its own), Tick
// every 495 ms after the first 500 ms (each on a thread of its own), Failed
// when the download could not start or broke off (on the worker itself), then
// Ended exactly once, after every other report of the job has returned. A
// download that cannot even start reports Failed and Ended with fraction 0 and
// sets the done event like any other end, so its starter never waits in vain.
//
// The job is driven by one thread (Start, Stop, destruction). Stop wakes the
// worker, which ends its transfer at once in every phase; no thread is killed.
// Destruction waits until the worker, the reporter and every report thread have
// finished, so nothing started by the job outlives it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "download/auto_reset_event.h"
#include "download/bound_entry.h"
#include "download/critical_section_lock.h"
#include "download/download_status.h"
#include "download/periodic_thread.h"
#include "download/speed_meter.h"
#include "download/target_file.h"
#include "download/thread_record.h"
#include "net/transfer.h"
#include "text/text.h"

namespace tw {

class DownloadJob {
 public:
  static constexpr int32_t kTickPeriodMs = 495;
  static constexpr int32_t kFirstTickMs = 500;
  // Stop's first wait for the worker. A transfer always ends well within it;
  // a worker still running after it can only be inside the starter's own
  // callback, so Stop then keeps waiting rather than kill anything.
  static constexpr int32_t kStopWaitMs = 2000;

  DownloadJob() = default;
  ~DownloadJob();
  DownloadJob(const DownloadJob&) = delete;
  DownloadJob& operator=(const DownloadJob&) = delete;

  // Starts the worker and returns its thread. With an empty URL or target path,
  // or when no thread can be started, returns null after reporting Failed and
  // Ended on the calling thread and setting `doneEvent`.
  //
  // `expectedBytes` (0: unknown) is the size the starter learned elsewhere. It
  // is the total when the response announces no length, and then a body that
  // ends with another number of bytes is a failure. With neither, the total
  // becomes the size of the body once it has arrived whole.
  ThreadHandle Start(const Text& url, const Text& targetPath, ProgressCallback progressCallback,
                     int32_t callbackTag, EventHandle doneEvent, int64_t expectedBytes = 0);
  // Ends the transfer if it still runs, releases the file and buffer, and
  // reports Ended unless the worker already did. Nothing happens after a
  // normal end.
  void Stop();

  // The wake routine queued to the worker by Stop; its arrival is the signal.
  void Wake(int32_t param);
  // The worker's body. False when a wake ended it (Stop finishes the rest).
  bool WorkerMain(int32_t param);
  // Snapshots the counters and calls the progress callback with `status`.
  void ReportProgress(int32_t status);

  // The failure reason of the last Failed report, for logs and tests.
  std::string FailureReason();

  // Before Start: time limits other than the platform's, for tests.
  void SetTransferTimeouts(const net::Timeouts& timeouts) { transferTimeouts_ = timeouts; }

 private:
  // False (nothing opened, nothing written) unless the response is a 200 or
  // 206: an error page is not the file.
  bool BeginTransfer(int32_t status, int64_t contentLength);
  // After the whole body arrived: the empty text when it is the whole file.
  std::string CheckCompleteBody();
  bool TakeChunk(const char* data, size_t size);
  void Fail(const std::string& reason);
  void EndSteps(bool failed);
  void StopReports();
  void ReportEndedOnce();
  void ReportStartFailure(const std::string& reason);

  BoundEntry progressEntry_;
  BoundEntry wakeEntry_;
  BoundEntry workerEntry_;

  std::mutex stateMutex_;
  ThreadHandle workerThread_;  // cleared by the worker's end steps and by Stop
  ThreadHandle workerRecord_;  // kept until destruction, to wait on
  std::string failureReason_;

  std::atomic<int64_t> totalBytes_{0};
  int64_t expectedBytes_ = 0;
  bool totalFromExpectation_ = false;  // the worker's alone
  std::string refusal_;                // why BeginTransfer refused the response
  CriticalSectionLock progressLock_;
  int64_t receivedBytes_ = 0;  // guarded by progressLock_
  std::atomic<int64_t> lastReportedBytes_{0};
  std::atomic<uint32_t> startTick_{0};
  std::atomic<bool> endedReported_{false};

  Text url_;
  Text targetPath_;
  ProgressCallback progressCallback_;
  int32_t callbackTag_ = 0;
  EventHandle doneEvent_;
  net::Timeouts transferTimeouts_;

  TargetFile file_;  // the worker's alone while it runs; Stop's after it returned
  SpeedMeter speedMeter_;
  ThreadGroup reportThreads_;  // Started
  PeriodicThread reporter_;    // Tick; declared last so it goes first
};

// Milliseconds of a steady clock, wrapping like a 32-bit tick count.
uint32_t TickCount();

}  // namespace tw
