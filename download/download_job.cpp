#include "download/download_job.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "download/download_runtime.h"
#include "download/http_get.h"
#include "download/part_file.h"
#include "download/resume_rules.h"
#include "download/volume.h"

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
        secureOrigin_ = record->secure;
        // Only a server that served ranges left a record: a failed first
        // attempt asks for the rest again, it does not throw the part away.
        rangesServed_ = true;
      } else {
        if (StopRequested()) return false;
        digests_->Reset();
      }
    }
  }

  Text url = url_;
  DownloadState state;
  state.firstRequest = true;
  state.canRenew = static_cast<bool>(hooks_.renewUrl);
  state.furthestBytes = offset;
  for (;;) {
    std::optional<AttemptOutcome> outcome = RunAttempt(url, mode, offset);
    if (!outcome) return false;
    state.totalBytes = totalBytes_;
    state.rangesServed = rangesServed_;
    const Decision decision = DecideAfterAttempt(*outcome, state, waitUnitMs_);
    state.furthestBytes = std::max(state.furthestBytes, outcome->reachedBytes);
    state.triesInARow = decision.triesInARow;
    state.retriesSinceProgress = decision.retriesSinceProgress;
    state.firstRequest = false;
    state.shiftedBefore = outcome->end == AttemptEnd::kShifted;
    switch (decision.step) {
      case NextStep::kFinish: {
        const bool ok = Complete();
        EndSteps(!ok);
        return true;
      }
      case NextStep::kFail:
        Fail(decision.failure, refusalReason_, refusalBytesNeeded_);
        EndSteps(true);
        return true;
      case NextStep::kRenewLink: {
        // Signed links expire: a fresh one for the same file goes on from the
        // same byte, by the same rules, at once.
        state.canRenew = false;
        Text fresh = hooks_.renewUrl([this] { return StopRequested(); });
        if (AlertableSleep(0) == kWaitIoCompletion) return false;
        if (fresh.empty()) {
          Fail(DownloadFailure::kGone, refusalReason_);
          EndSteps(true);
          return true;
        }
        url = fresh;
        break;
      }
      case NextStep::kContinue:
      case NextStep::kRetry:
        if (decision.step == NextStep::kRetry && !WaitBeforeRetry(decision.waitMs)) return false;
        // The rest where ranges are served, the whole file where they are not;
        // with nothing taken yet, the same request again.
        if (begun_) {
          offset = rangesServed_ ? file_.WrittenBytes() : 0;
          mode = offset > 0 ? Mode::kContinue : Mode::kFresh;
        }
        break;
      case NextStep::kStartAgain:
        if (!WaitBeforeRetry(decision.waitMs)) return false;
        mode = Mode::kFresh;
        offset = 0;
        break;
    }
  }
}

bool DownloadJob::WaitBeforeRetry(int32_t ms) {
  if (hooks_.retrying) hooks_.retrying(true);
  const bool woken = AlertableSleep(ms) == kWaitIoCompletion;
  if (!woken && hooks_.retrying) hooks_.retrying(false);
  return !woken;
}

std::optional<AttemptOutcome> DownloadJob::RunAttempt(const Text& url, Mode mode, int64_t offset) {
  ++attempts_;
  refusal_.reset();
  refusalReason_.clear();
  refusalBytesNeeded_ = 0;
  HttpGetSink sink;
  sink.begin = [this, mode, offset](const net::ResponseHead& head) {
    return AcceptHead(head, mode, offset);
  };
  sink.chunk = [this](const char* data, size_t size) { return TakeChunk(data, size); };
  HttpGetOptions options;
  options.headerLines = RangeRequestLines(offset, mode == Mode::kFresh ? "" : validator_);
  options.timeouts = transferTimeouts_;
  attemptBytes_ = 0;
  HttpGetOutcome got = RunHttpGet(url, sink, options);
  if (got.result == HttpGetResult::Woken) return std::nullopt;
  if (got.result == HttpGetResult::EmptyBody && got.head && !refusal_) {
    // The sink hears only of bodies; an answer without one is judged here,
    // and a 200 or 206 without a byte is no file either: nothing came.
    const int status = got.head->status;
    if (status == 200 || status == 206) {
      Refuse(AttemptEnd::kNoAnswer, "an empty body");
    } else {
      AcceptHead(*got.head, mode, offset);  // refuses: it opens nothing
    }
  }
  AttemptOutcome outcome = refusal_.value_or(AttemptOutcome{});
  // What the part can be continued from: what is in it, or the carried-over part.
  if (file_.IsOpen() && !file_.Flush()) {
    outcome.end = AttemptEnd::kLocal;
    outcome.failure = DownloadFailure::kWriteFailed;
    refusalReason_ = file_.Error();
    refusal_ = outcome;
  }
  outcome.reachedBytes = file_.IsOpen() ? file_.WrittenBytes() : offset;
  if (refusal_) return outcome;
  if (!got.error.empty()) refusalReason_ = got.error;
  switch (got.end) {
    case net::TransferEnd::kComplete:
      outcome.end =
          got.result == HttpGetResult::Completed ? AttemptEnd::kComplete : AttemptEnd::kNoAnswer;
      break;
    case net::TransferEnd::kDropped:
    case net::TransferEnd::kSilent:
    case net::TransferEnd::kOverrun:
      // A break before the first byte is no answer; after it, a broken body.
      outcome.end = attemptBytes_ > 0 ? AttemptEnd::kBroke : AttemptEnd::kNoAnswer;
      break;
    case net::TransferEnd::kRefusedBySink:  // the file failed under a chunk
      outcome.end = AttemptEnd::kLocal;
      outcome.failure = DownloadFailure::kWriteFailed;
      refusalReason_ = file_.Error();
      break;
    case net::TransferEnd::kBadResponse:
    case net::TransferEnd::kTooLarge:
      outcome.end = AttemptEnd::kUnusable;
      break;
    case net::TransferEnd::kTooManyRedirects:
      outcome.end = AttemptEnd::kRefused;
      break;
    case net::TransferEnd::kFailed:  // a URL that cannot be asked for, or no transport
      outcome.end = AttemptEnd::kLocal;
      outcome.failure = DownloadFailure::kUnreachable;
      break;
    default:  // no connection, not sent, no response, the transport
      outcome.end = AttemptEnd::kNoAnswer;
      break;
  }
  return outcome;
}

bool DownloadJob::Refuse(AttemptEnd end, std::string reason, DownloadFailure failure,
                         int64_t bytesNeeded) {
  AttemptOutcome outcome;
  outcome.end = end;
  outcome.failure = failure;
  refusal_ = outcome;
  refusalReason_ = std::move(reason);
  refusalBytesNeeded_ = bytesNeeded;
  return false;
}

bool DownloadJob::AcceptHead(const net::ResponseHead& head, Mode mode, int64_t offset) {
  const int status = head.status;
  const std::string answered = "the server answered " + std::to_string(status);
  if (status == 403 || status == 404 || status == 410) return Refuse(AttemptEnd::kGone, answered);
  if (status == 500 || status == 502 || status == 503 || status == 504 || status == 429) {
    Refuse(AttemptEnd::kBusy, answered);
    if (std::optional<Text> after = head.Header("Retry-After")) {
      refusal_->retryAfterSeconds = ParseRetryAfter(*after);
    }
    return false;
  }
  if (status == 416 && mode != Mode::kFresh) return Refuse(AttemptEnd::kUnfit, answered);
  if (status != 200 && status != 206) return Refuse(AttemptEnd::kRefused, answered);
  // The bytes must be the file's own: nothing decoded, nothing wrapped.
  if (std::optional<std::string> problem = net::CodingProblem(head)) {
    return Refuse(AttemptEnd::kUnusable, *problem);
  }
  // A 200 to a range request is the whole file again: it starts afresh.
  if (status == 200) return AcceptFresh(head, std::nullopt);
  const net::SingleRange single = net::ReadSingleRange(head);
  if (!single.range) return Refuse(AttemptEnd::kUnusable, single.problem);
  if (single.range->first != offset) {
    return Refuse(AttemptEnd::kShifted, "the server answered from byte " +
                                            std::to_string(single.range->first) + ", not " +
                                            std::to_string(offset));
  }
  if (mode == Mode::kFresh) return AcceptFresh(head, single.range);
  return AcceptContinuation(head, mode, offset, *single.range);
}

bool DownloadJob::AcceptFresh(const net::ResponseHead& head,
                              const std::optional<net::ContentRange>& range) {
  int64_t total = head.contentLength.value_or(0);
  if (range) total = range->total.value_or(0);
  totalFromExpectation_ = total <= 0 && expectedBytes_ > 0;
  totalBytes_ = totalFromExpectation_ ? expectedBytes_ : std::max<int64_t>(total, 0);
  rangesServed_ = range && range->total;
  validator_ = ValidatorOf(head);
  secureOrigin_ = head.url.secure;
  digests_->Reset();
  if (!CheckRoomFor(totalBytes_) || !OpenPart(0)) return false;
  if (rangesServed_ && !validator_.empty()) {
    if (!StoreResumeRecord(targetPath_, {totalBytes_, validator_, secureOrigin_})) {
      return Refuse(AttemptEnd::kLocal, "the resume record could not be written",
                    DownloadFailure::kWriteFailed);
    }
  } else {
    ForgetResumeRecord(targetPath_);
  }
  ResetCounts(0);
  BeginReports();
  return true;
}

bool DownloadJob::AcceptContinuation(const net::ResponseHead& head, Mode mode, int64_t offset,
                                     const net::ContentRange& range) {
  const int64_t known = mode == Mode::kContinue ? totalBytes_.load() : carriedTotal_;
  if (!range.total || (known > 0 && *range.total != known)) {
    return Refuse(AttemptEnd::kUnfit, "the continuation names another total");
  }
  // A server that ignores If-Range may still say the file is another one.
  std::string validator = ValidatorOf(head);
  if (!validator.empty() && validator != validator_) {
    return Refuse(AttemptEnd::kUnfit, "the continuation names another version");
  }
  if (secureOrigin_ && !head.url.secure) {
    return Refuse(AttemptEnd::kUnfit, "a part begun over https is not continued over http");
  }
  if (mode == Mode::kContinue) return true;

  totalBytes_ = *range.total;
  rangesServed_ = true;
  if (!CheckRoomFor(totalBytes_ - offset) || !OpenPart(offset)) return false;
  ResetCounts(offset);
  BeginReports();
  return true;
}

bool DownloadJob::CheckRoomFor(int64_t bytes) {
  if (TooLargeForVolume(targetPath_, totalBytes_))
    return Refuse(AttemptEnd::kLocal, "FAT holds no file this large", DownloadFailure::kFatVolume);
  if (bytes <= 0) return true;
  std::optional<int64_t> free = FreeBytesFor(targetPath_);
  if (free && *free < bytes) {
    return Refuse(AttemptEnd::kLocal, "too little free space", DownloadFailure::kNoSpace, bytes);
  }
  return true;
}

bool DownloadJob::OpenPart(int64_t keepBytes) {
  file_.Close();
  if (file_.Open(PartPath(targetPath_), keepBytes)) return true;
  return Refuse(
      AttemptEnd::kLocal, file_.Error(),
      file_.NotARegularFile() ? DownloadFailure::kNotAFile : DownloadFailure::kWriteFailed);
}

void DownloadJob::ResetCounts(int64_t bytes) {
  {
    std::lock_guard guard(progressLock_);
    receivedBytes_ = bytes;
  }
  lastReportedBytes_ = bytes;  // the speed counts only what arrives from now on
}

void DownloadJob::BeginReports() {
  if (begun_) return;
  begun_ = true;
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
  // The checksums go beside it before the image takes its name, so a file
  // under the final name always has them.
  std::vector<std::string> hex = digests_->Finish();
  std::string error;
  bool ok = true;
  for (size_t i = 0; ok && i < hex.size(); ++i) {
    ok = WriteChecksumFile(targetPath_, DigestExtension(BodyDigests::kKinds[i]), hex[i], &error);
  }
  ok = ok && PromotePartFile(targetPath_, &error);
  if (!ok) {
    for (const DigestKind kind : BodyDigests::kKinds) {
      RemoveChecksumFile(targetPath_, DigestExtension(kind));
    }
    Fail(DownloadFailure::kWriteFailed, error);
  }
  return ok;
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
  attemptBytes_ += static_cast<int64_t>(size);
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
    // After a fresh start the count falls back; a fall is no speed.
    float sample =
        static_cast<float>(static_cast<double>(std::max<int64_t>(received - previous, 0)) / 512.0);
    speedMeter_.AddSample(sample);
    speed = speedMeter_.Average();
  }
  auto elapsed = static_cast<int32_t>(TickCount() - startTick_.load());
  progressCallback_(callbackTag_, status, total, received, remaining, fraction, speed, elapsed,
                    targetPath_);
}

}  // namespace tw
