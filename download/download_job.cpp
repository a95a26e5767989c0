#include "download/download_job.h"

#include <chrono>
#include <utility>

#include "download/download_runtime.h"
#include "download/http_get.h"

namespace tw {

uint32_t TickCount() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

DownloadJob::~DownloadJob() {
  Stop();
  StopReports();
  ThreadHandle worker;
  {
    std::lock_guard guard(stateMutex_);
    worker = workerRecord_;
  }
  if (worker) worker->Wait(kInfinite);
}

ThreadHandle DownloadJob::Start(const Text& url, const Text& targetPath,
                                ProgressCallback progressCallback, int32_t callbackTag,
                                EventHandle doneEvent, int64_t expectedBytes) {
  if (!workerEntry_) {
    progressEntry_ = BoundEntry::Make(this, &DownloadJob::ReportProgress);
    wakeEntry_ = BoundEntry::Make(this, &DownloadJob::Wake);
    workerEntry_ = BoundEntry::Make(this, &DownloadJob::WorkerMain);
  }
  PrepareDownloadRuntime();
  url_ = url;
  targetPath_ = targetPath;
  progressCallback_ = std::move(progressCallback);
  callbackTag_ = callbackTag;
  doneEvent_ = std::move(doneEvent);
  expectedBytes_ = expectedBytes > 0 ? expectedBytes : 0;
  startTick_ = TickCount();
  if (url.empty() || targetPath.empty()) {
    ReportStartFailure(url.empty() ? "empty URL" : "empty target path");
    return nullptr;
  }
  ThreadHandle started;
  {
    // Held across the launch so the worker's end steps cannot clear the handle
    // before it is recorded.
    std::lock_guard guard(stateMutex_);
    BoundEntry worker = workerEntry_;
    workerThread_ = ThreadRecord::Launch([worker] { worker(0); });
    workerRecord_ = workerThread_;
    started = workerThread_;
  }
  if (!started) ReportStartFailure("no worker thread");
  return started;
}

void DownloadJob::ReportStartFailure(const std::string& reason) {
  {
    std::lock_guard guard(stateMutex_);
    failureReason_ = reason;
  }
  if (progressCallback_) ReportProgress(Failed);
  ReportEndedOnce();
  if (doneEvent_) doneEvent_->Set();
}

void DownloadJob::Wake(int32_t) {}

bool DownloadJob::WorkerMain(int32_t) {
  HttpGetSink sink;
  sink.begin = [this](const net::ResponseHead& head) {
    return BeginTransfer(head.status, head.contentLength.value_or(0));
  };
  sink.chunk = [this](const char* data, size_t size) { return TakeChunk(data, size); };
  HttpGetOptions options;
  options.timeouts = transferTimeouts_;
  HttpGetOutcome outcome = RunHttpGet(url_, sink, options);
  if (outcome.result == HttpGetResult::Woken) return false;
  std::string error = outcome.error;
  bool failed = true;
  if (outcome.result == HttpGetResult::Completed) {
    failed = !file_.Flush();
    error = failed ? file_.Error() : CheckCompleteBody();
    failed = failed || !error.empty();
  } else if (outcome.result == HttpGetResult::EmptyBody) {
    error = "empty body";
  } else if (!refusal_.empty()) {
    error = refusal_;
  } else if (!file_.Error().empty()) {
    error = file_.Error();  // the transfer stopped because the file failed
  }
  if (failed) Fail(error);
  EndSteps(failed);
  return true;
}

void DownloadJob::Fail(const std::string& reason) {
  std::lock_guard guard(stateMutex_);
  failureReason_ = reason;
}

std::string DownloadJob::FailureReason() {
  std::lock_guard guard(stateMutex_);
  return failureReason_;
}

bool DownloadJob::BeginTransfer(int32_t status, int64_t contentLength) {
  if (status != 200 && status != 206) {
    refusal_ = "the server answered " + std::to_string(status);
    return false;
  }
  totalFromExpectation_ = contentLength <= 0 && expectedBytes_ > 0;
  totalBytes_ = totalFromExpectation_ ? expectedBytes_ : contentLength;  // before any report
  if (!file_.Open(targetPath_)) return false;
  if (progressCallback_) {
    reporter_.Start(progressEntry_, kTickPeriodMs, kFirstTickMs, Tick, false);
    startTick_ = TickCount();
    BoundEntry report = progressEntry_;
    reportThreads_.Launch([report] { report(Started); });
  }
  return true;
}

bool DownloadJob::TakeChunk(const char* data, size_t size) {
  if (!file_.Append(data, size)) return false;
  std::lock_guard guard(progressLock_);
  receivedBytes_ += static_cast<int64_t>(size);
  return true;
}

std::string DownloadJob::CheckCompleteBody() {
  int64_t received;
  {
    std::lock_guard guard(progressLock_);
    received = receivedBytes_;
  }
  if (totalFromExpectation_ && received != totalBytes_) {
    return "the body ended after " + std::to_string(received) + " of the " +
           std::to_string(totalBytes_.load()) + " bytes expected";
  }
  // Unannounced and unexpected: now that the body has arrived whole, its size
  // is known, and the final report says it is complete.
  if (totalBytes_ == 0) totalBytes_ = received;
  return {};
}

void DownloadJob::StopReports() {
  // Without limit: in spawn mode the loop never blocks, and once it has ended
  // no Tick can start after the waits below.
  reporter_.Stop(kInfinite);
  reporter_.WaitSpawnedThreads();
  reportThreads_.WaitAll();
}

void DownloadJob::EndSteps(bool failed) {
  // Every Started and Tick report returns before Failed and Ended are made.
  if (progressCallback_) StopReports();
  if (failed && file_.IsOpen()) file_.Flush();  // keep what arrived; may fail again
  bool closed = file_.Close();
  file_.ReleaseBuffer();
  if (failed || !closed) {
    if (!closed && !failed) Fail(file_.Error());
    // The counts now say what is in the file: after a failed write that is
    // less than what arrived, and after a failed close nothing is certain.
    std::lock_guard guard(progressLock_);
    receivedBytes_ = closed ? file_.WrittenBytes() : 0;
    failed = true;
  }
  if (failed && progressCallback_) ReportProgress(Failed);
  ReportEndedOnce();
  {
    std::lock_guard guard(stateMutex_);
    workerThread_.reset();
  }
  if (doneEvent_) doneEvent_->Set();
}

void DownloadJob::ReportEndedOnce() {
  if (!progressCallback_ || endedReported_.exchange(true)) return;
  ReportProgress(Ended);
}

void DownloadJob::Stop() {
  ThreadHandle worker;
  {
    std::lock_guard guard(stateMutex_);
    worker = workerThread_;
  }
  if (!worker) return;
  // A failed queue means the worker has just finished; the clean-up below is
  // safe to repeat either way.
  worker->QueueWake([this] { wakeEntry_(0); });
  if (worker->Wait(kStopWaitMs) == kWaitTimeout) worker->Wait(kInfinite);
  if (progressCallback_) StopReports();
  file_.Close();
  file_.ReleaseBuffer();
  ReportEndedOnce();
  std::lock_guard guard(stateMutex_);
  workerThread_.reset();
}

void DownloadJob::ReportProgress(int32_t status) {
  if (!progressCallback_) return;
  int64_t received;
  {
    std::lock_guard guard(progressLock_);
    received = receivedBytes_;
  }
  int64_t total = totalBytes_;
  int64_t remaining = 0;
  float fraction = 0.0f;
  if (total != 0) {
    remaining = total - received;
    fraction = static_cast<float>(static_cast<double>(received) / static_cast<double>(total));
  }
  float speed = 0.0f;
  if (received > 0) {
    // Reports come every half second, so a sample is the speed in KiB/s.
    int64_t previous = lastReportedBytes_.exchange(received);
    float sample = static_cast<float>(static_cast<double>(received - previous) / 512.0);
    speedMeter_.AddSample(sample);
    speed = speedMeter_.Average();
  }
  auto elapsed = static_cast<int32_t>(TickCount() - startTick_.load());
  progressCallback_(callbackTag_, status, total, received, remaining, fraction, speed, elapsed,
                    targetPath_);
}

}  // namespace tw
