// One download: a GET whose body goes, in arrival order, into one file, on a
// worker thread of its own, with progress reports to its starter.
//
// The body is written to the target path + ".part" and renamed to the target
// once it is complete, with its SHA-256 and SHA-1 written beside it first. An
// attempt that does not bring the whole file is followed by what
// attempt_decision.h decides: the rest asked for with the first response's
// validator (a server that serves ranges), the file asked for again from its
// first byte (a server without ranges, a file that changed), a wait before
// either, a fresh link from the starter (403, 404 or 410 to a later request),
// or the end with its cause. Waits end at once on a stop request. A part file
// left by an earlier download of the same target, with its record
// (part_file.h), is continued the same way.
//
// What is taken: a 200, or a 206 with exactly one Content-Range that starts
// where asked, not encoded (no Content-Encoding but identity), from a server
// that authenticated itself the same way the part began (a part begun over
// https never goes on over http). Everything else is a failed attempt.
//
// Reports a starter sees, in order: Started (on a thread of its own), Tick
// every 495 ms after the first 500 ms (each on a thread of its own), Failed
// when the download could not start or broke off (on the worker itself), then
// Ended exactly once, after every other report of the job has returned. A
// download that cannot even start reports Failed and Ended with fraction 0 and
// sets the done event like any other end, so its starter never waits in vain.
// A fresh start keeps one download: the bytes done fall back to 0.
//
// The job is driven by one thread (Start, Stop, destruction). Stop wakes the
// worker, which ends its transfer at once in every phase; no thread is killed.
// Destruction waits until the worker, the reporter and every report thread have
// finished, so nothing started by the job outlives it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "download/attempt_decision.h"
#include "download/auto_reset_event.h"
#include "download/body_digests.h"
#include "download/bound_entry.h"
#include "download/critical_section_lock.h"
#include "download/download_hooks.h"
#include "download/download_status.h"
#include "download/periodic_thread.h"
#include "download/speed_meter.h"
#include "download/target_file.h"
#include "download/thread_record.h"
#include "net/response_rules.h"
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
                     int32_t callbackTag, EventHandle doneEvent, int64_t expectedBytes = 0,
                     DownloadHooks hooks = {});
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
  // Why the download failed; kNone while it has not.
  DownloadFailure Failure();

  // Before Start: time limits other than the platform's, for tests.
  void SetTransferTimeouts(const net::Timeouts& timeouts) { transferTimeouts_ = timeouts; }
  // Before Start: the unit of the waits between tries (1000 ms), for tests.
  void SetResumeWaitUnit(int32_t ms) { waitUnitMs_ = ms; }

  // After the end: the connections the download made, for tests.
  int32_t Attempts() const { return attempts_; }

 private:
  // What a connection is for.
  enum class Mode {
    kFresh,      // the whole file from its first byte
    kContinue,   // the rest of this download's body
    kCarryOver,  // the rest of a part file an earlier download left
  };

  // One connection: how it ended, for the decision; nullopt when a stop ended it.
  std::optional<AttemptOutcome> RunAttempt(const Text& url, Mode mode, int64_t offset);
  bool AcceptHead(const net::ResponseHead& head, Mode mode, int64_t offset);
  // `range`: the one range of a 206, as AcceptHead read it.
  bool AcceptFresh(const net::ResponseHead& head, const std::optional<net::ContentRange>& range);
  bool AcceptContinuation(const net::ResponseHead& head, Mode mode, int64_t offset,
                          const net::ContentRange& range);
  // False, with the attempt's end and the reason kept for the decision.
  bool Refuse(AttemptEnd end, std::string reason, DownloadFailure failure = DownloadFailure::kNone,
              int64_t bytesNeeded = 0);
  // Opens the part file, keeping its first `keepBytes`; false with the refusal set.
  bool OpenPart(int64_t keepBytes);
  bool CheckRoomFor(int64_t bytes);
  void BeginReports();
  // The received count after a fresh start or a carried-over part.
  void ResetCounts(int64_t bytes);
  // Waits before the next attempt; false when a stop request ended the wait.
  bool WaitBeforeRetry(int32_t ms);
  // The body ended whole: check it, finish the file. False with the failure set.
  bool Complete();
  bool StopRequested();
  void Fail(DownloadFailure failure, const std::string& reason, int64_t bytesNeeded = 0);
  // A piece of an accepted body into the part and the digests; false when the
  // file failed.
  bool TakeChunk(const char* data, size_t size);
  void EndSteps(bool failed);
  void StopReports();
  void ReportEndedOnce();
  void ReportStartFailure(DownloadFailure failure, const std::string& reason);

  BoundEntry progressEntry_;
  BoundEntry wakeEntry_;
  BoundEntry workerEntry_;

  std::mutex stateMutex_;
  ThreadHandle workerThread_;  // cleared by the worker's end steps and by Stop
  ThreadHandle workerRecord_;  // kept until destruction, to wait on
  std::string failureReason_;

  std::atomic<int64_t> totalBytes_{0};
  int64_t expectedBytes_ = 0;
  DownloadHooks hooks_;
  int32_t waitUnitMs_ = 1000;
  // The worker's alone while it runs.
  bool totalFromExpectation_ = false;
  bool begun_ = false;                     // Started was reported
  bool rangesServed_ = false;              // the part's response was a 206 with a total
  bool secureOrigin_ = false;              // the part's bytes came over https
  std::string validator_;                  // of the file the part holds
  int64_t carriedTotal_ = 0;               // the total an earlier download recorded
  int64_t attemptBytes_ = 0;               // written by the attempt under way
  std::optional<AttemptOutcome> refusal_;  // why the last response was not taken
  std::string refusalReason_;
  int64_t refusalBytesNeeded_ = 0;
  DownloadFailure failure_ = DownloadFailure::kNone;
  int64_t bytesNeeded_ = 0;
  std::atomic<int32_t> attempts_{0};
  std::unique_ptr<BodyDigests> digests_;
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
