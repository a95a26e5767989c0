#include "download/http_get.h"

#include "download/download_runtime.h"
#include "download/thread_record.h"

namespace tw {
namespace {

class BodySink : public net::ResponseSink {
 public:
  BodySink(const HttpGetSink& sink, HttpGetOutcome& outcome) : sink_(sink), outcome_(outcome) {}

  bool OnResponse(const net::ResponseHead& head) override {
    outcome_.head = head;
    return true;
  }
  // The sink hears of the response only once a body byte is there, so an
  // empty body leaves no file behind.
  bool OnBody(const char* data, size_t size) override {
    if (size == 0) return true;
    if (!begun_) {
      begun_ = true;
      if (sink_.begin && !sink_.begin(*outcome_.head)) return false;
    }
    return !sink_.chunk || sink_.chunk(data, size);
  }
  bool begun() const { return begun_; }

 private:
  const HttpGetSink& sink_;
  HttpGetOutcome& outcome_;
  bool begun_ = false;
};

}  // namespace

HttpGetOutcome RunHttpGet(const Text& url, const HttpGetSink& sink, const HttpGetOptions& options) {
  PrepareDownloadRuntime();
  HttpGetOutcome outcome;
  std::optional<net::UrlParts> parts = net::SplitUrl(url);
  if (!parts) {
    outcome.error = "malformed or unsupported URL";
    return outcome;
  }
  net::Request request;
  request.url = *parts;
  request.userAgent = kDownloadUserAgent;
  request.headerLines = options.headerLines;
  request.timeouts = options.timeouts;
  ThreadRecord* self = ThreadRecord::Current();
  // The wake hook below ends any wait at once; the poll catches a wake queued
  // before the hook was in place. It only looks: the routines run below.
  request.pollIntervalMs = 1000;
  if (self) request.poll = [self] { return self->WakePending(); };
  net::Transfer transfer(std::move(request));

  if (self) self->SetWakeHook([&transfer] { transfer.Wake(); });
  BodySink body(sink, outcome);
  outcome.end = transfer.Run(body);
  // Cleared before the transfer goes: once this returns, the hook is not called again.
  if (self) self->ClearWakeHook();

  switch (outcome.end) {
    case net::TransferEnd::kComplete:
      outcome.result = body.begun() ? HttpGetResult::Completed : HttpGetResult::EmptyBody;
      break;
    case net::TransferEnd::kWoken:
      AlertableSleep(0);  // takes the wake request
      outcome.result = HttpGetResult::Woken;
      break;
    default:
      outcome.result = HttpGetResult::Failed;
      outcome.error = net::Describe(outcome.end);
      if (!transfer.detail().empty()) outcome.error += ": " + transfer.detail();
      break;
  }
  return outcome;
}

}  // namespace tw
