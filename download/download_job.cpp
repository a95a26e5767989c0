#include "download/download_job.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "download/download_runtime.h"
#include "download/http_get.h"
#include "download/part_file.h"
#include "download/resume_rules.h"

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
                                EventHandle doneEvent, int64_t expectedBytes, DownloadHooks hooks) {
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
  if (hooks.timeouts) transferTimeouts_ = *hooks.timeouts;
  if (hooks.waitUnitMs > 0) waitUnitMs_ = hooks.waitUnitMs;
  hooks_ = std::move(hooks);
  startTick_ = TickCount();
  if (url.empty() || targetPath.empty()) {
    ReportStartFailure(url.empty() ? DownloadFailure::kNoUrl : DownloadFailure::kWriteFailed,
                       url.empty() ? "empty URL" : "empty target path");
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
  if (!started) ReportStartFailure(DownloadFailure::kUnreachable, "no worker thread");
  return started;
}

void DownloadJob::ReportStartFailure(DownloadFailure failure, const std::string& reason) {
  Fail(failure, reason);
  if (hooks_.failed) hooks_.failed(failure, 0);
  if (progressCallback_) ReportProgress(Failed);
  ReportEndedOnce();
  if (doneEvent_) doneEvent_->Set();
}

void DownloadJob::Wake(int32_t) {}

bool DownloadJob::StopRequested() {
  ThreadRecord* self = ThreadRecord::Current();
  return self != nullptr && self->WakePending();
}

bool DownloadJob::WorkerMain(int32_t) {
  digests_ = std::make_unique<BodyDigests>();
  Mode mode = Mode::kFresh;
  int64_t offset = 0;
  if (std::optional<ResumeRecord> record = ReadResumeRecord(targetPath_)) {
    int64_t have = ResumableBytes(targetPath_);
    if (have > 0 && (record->total == 0 || have < record->total)) {
      if (HashPartPrefix(targetPath_, have, *digests_, [this] { return StopRequested(); })) {
        mode = Mode::kCarryOver;
        offset = have;
        validator_ = record->validator;
        carriedTotal_ = record->total;
      } else {
        if (StopRequested()) return false;
        digests_->Reset();
      }
    }
  }

  Text url = url_;
  bool renewed = false;
  int32_t triesUsed = 0;
  for (;;) {
    net::TransferEnd end = RunAttempt(url, mode, offset);
    if (end == net::TransferEnd::kWoken) return false;
    if (end == net::TransferEnd::kComplete && begun_) {
      bool ok = Complete();
      EndSteps(!ok);
      return true;
    }
    if (end == net::TransferEnd::kRefusedBySink && mode == Mode::kCarryOver &&
        refusal_.failure == DownloadFailure::kChanged) {
      // The part cannot be continued: an earlier download's leftovers are not
      // worth a failure, the whole file is fetched anew.
      ForgetResumeRecord(targetPath_);
      digests_->Reset();
      validator_.clear();
      mode = Mode::kFresh;
      offset = 0;
      continue;
    }
    if (end == net::TransferEnd::kRefusedBySink && refusal_.failure != DownloadFailure::kNone) {
      if (refusal_.renewable && !renewed && hooks_.renewUrl) {
        // Signed links expire: a fresh one for the same file goes on from the
        // same byte, by the same rules, at once.
        renewed = true;
        Text fresh = hooks_.renewUrl([this] { return StopRequested(); });
        if (AlertableSleep(0) == kWaitIoCompletion) return false;
        if (!fresh.empty()) {
          url = fresh;
          continue;
        }
      }
      Fail(refusal_.failure, refusal_.reason, refusal_.bytesNeeded);
      EndSteps(true);
      return true;
    }
    if (end == net::TransferEnd::kRefusedBySink) {  // the file failed under a chunk
      Fail(DownloadFailure::kWriteFailed, file_.Error());
      EndSteps(true);
      return true;
    }
    const bool broke = end == net::TransferEnd::kDropped || end == net::TransferEnd::kSilent ||
                       (mode == Mode::kContinue && (end == net::TransferEnd::kCouldNotConnect ||
                                                    end == net::TransferEnd::kNoResponse ||
                                                    end == net::TransferEnd::kNotSent));
    if (!broke || !begun_) {
      Fail(DownloadFailure::kUnreachable, net::Describe(end));
      EndSteps(true);
      return true;
    }
    if (!file_.Flush()) {
      Fail(DownloadFailure::kWriteFailed, file_.Error());
      EndSteps(true);
      return true;
    }
    if (!rangesServed_) {
      Fail(DownloadFailure::kNoRanges, net::Describe(end));
      EndSteps(true);
      return true;
    }
    if (triesUsed == kResumeTries) {
      Fail(DownloadFailure::kBrokeOff, net::Describe(end));
      EndSteps(true);
      return true;
    }
    if (AlertableSleep(ResumeWaitMs(triesUsed, waitUnitMs_)) == kWaitIoCompletion) return false;
    ++triesUsed;
    mode = Mode::kContinue;
    offset = file_.WrittenBytes();
  }
}

net::TransferEnd DownloadJob::RunAttempt(const Text& url, Mode mode, int64_t offset) {
  ++attempts_;
  refusal_ = {};
  HttpGetSink sink;
  sink.begin = [this, mode, offset](const net::ResponseHead& head) {
    return AcceptHead(head, mode, offset);
  };
  sink.chunk = [this](const char* data, size_t size) { return TakeChunk(data, size); };
  HttpGetOptions options;
  options.headerLines = RangeRequestLines(offset, mode == Mode::kFresh ? "" : validator_);
  options.timeouts = transferTimeouts_;
  HttpGetOutcome outcome = RunHttpGet(url, sink, options);
  if (outcome.result == HttpGetResult::EmptyBody) {
    // The sink hears only of bodies; an answer without one is judged here.
    const int status = outcome.head ? outcome.head->status : 0;
    if (status != 200 && status != 206 && outcome.head) {
      AcceptHead(*outcome.head, mode, offset);  // refuses: it opens nothing
      return net::TransferEnd::kRefusedBySink;
    }
    // Nothing to write: no file for a first request, a break for a continuation.
    return mode == Mode::kContinue ? net::TransferEnd::kDropped : net::TransferEnd::kNoResponse;
  }
  return outcome.end;
}

bool DownloadJob::Refuse(DownloadFailure failure, std::string reason, int64_t bytesNeeded,
                         bool renewable) {
  refusal_ = {failure, std::move(reason), bytesNeeded, renewable};
  return false;
}

bool DownloadJob::AcceptHead(const net::ResponseHead& head, Mode mode, int64_t offset) {
  if (mode == Mode::kFresh) return AcceptFresh(head);
  if (mode == Mode::kCarryOver && head.status == 200) {
    // The validator no longer matches: the file changed since the part was
    // written, and the whole new file follows.
    digests_->Reset();
    validator_.clear();
    return AcceptFresh(head);
  }
  return AcceptContinuation(head, mode, offset);
}

bool DownloadJob::AcceptFresh(const net::ResponseHead& head) {
  const int status = head.status;
  if (status != 200 && status != 206) {
    bool gone = status == 403 || status == 404 || status == 410;
    return Refuse(gone ? DownloadFailure::kGone : DownloadFailure::kRefused,
                  "the server answered " + std::to_string(status));
  }
  std::optional<ContentRange> range;
  if (status == 206) {
    // Asked for the whole file, a part of it from elsewhere is not it. A 206
    // without Content-Range is read as the whole file, as before, but it
    // cannot be continued.
    if (std::optional<Text> value = head.Header("Content-Range")) {
      range = ParseContentRange(*value);
      if (!range || range->first != 0) {
        return Refuse(DownloadFailure::kRefused, "the server answered a range from elsewhere");
      }
    }
  }
  int64_t total = head.contentLength.value_or(0);
  if (range && range->total) total = *range->total;
  totalFromExpectation_ = total <= 0 && expectedBytes_ > 0;
  totalBytes_ = totalFromExpectation_ ? expectedBytes_ : std::max<int64_t>(total, 0);
  rangesServed_ = range.has_value() && range->total.has_value();
  validator_ = ValidatorOf(head);
  if (totalBytes_ > 0) {
    std::optional<int64_t> free = FreeBytesFor(targetPath_);
    if (free && *free < totalBytes_) {
      return Refuse(DownloadFailure::kNoSpace, "too little free space", totalBytes_.load());
    }
  }
  if (!OpenPart(0)) return Refuse(DownloadFailure::kWriteFailed, file_.Error());
  if (rangesServed_ && !validator_.empty()) {
    StoreResumeRecord(targetPath_, {totalBytes_, validator_});
  } else {
    ForgetResumeRecord(targetPath_);
  }
  BeginReports();
  return true;
}

bool DownloadJob::AcceptContinuation(const net::ResponseHead& head, Mode mode, int64_t offset) {
  const int status = head.status;
  if (status == 403 || status == 404 || status == 410) {
    return Refuse(DownloadFailure::kGone, "the continuation was answered " + std::to_string(status),
                  0, /*renewable=*/true);
  }
  if (status != 206) {
    return Refuse(DownloadFailure::kChanged,
                  "the continuation was answered " + std::to_string(status));
  }
  std::optional<ContentRange> range;
  if (std::optional<Text> value = head.Header("Content-Range")) range = ParseContentRange(*value);
  const int64_t known = mode == Mode::kContinue ? totalBytes_.load() : carriedTotal_;
  if (!range || range->first != offset || !range->total || (known > 0 && *range->total != known)) {
    return Refuse(DownloadFailure::kChanged, "the continuation does not start at byte " +
                                                 std::to_string(offset) + " of the same file");
  }
  // A server that ignores If-Range may still say the file is another one.
  std::string validator = ValidatorOf(head);
  if (!validator.empty() && validator != validator_) {
    return Refuse(DownloadFailure::kChanged, "the continuation names another version");
  }
  if (mode == Mode::kContinue) return true;

  totalBytes_ = *range->total;
  rangesServed_ = true;
  std::optional<int64_t> free = FreeBytesFor(targetPath_);
  if (free && *free < totalBytes_ - offset) {
    return Refuse(DownloadFailure::kNoSpace, "too little free space", totalBytes_ - offset);
  }
  if (!OpenPart(offset)) return Refuse(DownloadFailure::kWriteFailed, file_.Error());
  {
    std::lock_guard guard(progressLock_);
    receivedBytes_ = offset;
  }
  lastReportedBytes_ = offset;  // the speed counts only what arrives now
  BeginReports();
  return true;
}

bool DownloadJob::OpenPart(int64_t keepBytes) {
  if (!file_.Open(PartPath(targetPath_), keepBytes)) return false;
  begun_ = true;
  return true;
}

void DownloadJob::BeginReports() {
  if (!progressCallback_) return;
  reporter_.Start(progressEntry_, kTickPeriodMs, kFirstTickMs, Tick, false);
  startTick_ = TickCount();
  BoundEntry report = progressEntry_;
  reportThreads_.Launch([report] { report(Started); });
}

bool DownloadJob::Complete() {
  if (!file_.Flush()) {
    Fail(DownloadFailure::kWriteFailed, file_.Error());
    return false;
  }
  const int64_t written = file_.WrittenBytes();
  if (totalBytes_ > 0 && written != totalBytes_) {
    Fail(DownloadFailure::kIncomplete, "the body ended after " + std::to_string(written) +
                                           " of the " + std::to_string(totalBytes_.load()) +
                                           " bytes expected");
    return false;
  }
  // Unannounced and unexpected: now that the body has arrived whole, its size
  // is known, and the final report says it is complete.
  if (totalBytes_ == 0) totalBytes_ = written;
  if (!file_.Close()) {
    Fail(DownloadFailure::kWriteFailed, file_.Error());
    return false;
  }
  std::vector<std::string> hex = digests_->Finish();
  std::string error;
  if (!PromotePartFile(targetPath_, &error)) {
    Fail(DownloadFailure::kWriteFailed, error);
    return false;
  }
  for (size_t i = 0; i < hex.size(); ++i) {
    WriteChecksumFile(targetPath_, DigestExtension(BodyDigests::kKinds[i]), hex[i]);
  }
  return true;
}

void DownloadJob::Fail(DownloadFailure failure, const std::string& reason, int64_t bytesNeeded) {
  std::lock_guard guard(stateMutex_);
  failure_ = failure;
  failureReason_ = reason;
  bytesNeeded_ = bytesNeeded;
}

std::string DownloadJob::FailureReason() {
  std::lock_guard guard(stateMutex_);
  return failureReason_;
}

DownloadFailure DownloadJob::Failure() {
  std::lock_guard guard(stateMutex_);
  return failure_;
}

bool DownloadJob::TakeChunk(const char* data, size_t size) {
  if (!file_.Append(data, size)) return false;
  digests_->Update(data, size);
  std::lock_guard guard(progressLock_);
  receivedBytes_ += static_cast<int64_t>(size);
  return true;
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
    if (!closed && !failed) Fail(DownloadFailure::kWriteFailed, file_.Error());
    // The counts now say what is in the file: after a failed write that is
    // less than what arrived, and after a failed close nothing is certain.
    std::lock_guard guard(progressLock_);
    receivedBytes_ = closed ? file_.WrittenBytes() : 0;
    failed = true;
  }
  if (failed) {
    DownloadFailure failure;
    int64_t needed;
    {
      std::lock_guard guard(stateMutex_);
      if (failure_ == DownloadFailure::kNone) failure_ = DownloadFailure::kWriteFailed;
      failure = failure_;
      needed = bytesNeeded_;
    }
    if (hooks_.failed) hooks_.failed(failure, needed);
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
