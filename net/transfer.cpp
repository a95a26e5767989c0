// The hops of a transfer, the same for every transport: which redirect is
// followed, what each hop carries, and how much of each body is taken.
#include "net/transfer.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "net/hop_cookies.h"
#include "net/hop_transport.h"
#include "net/redirect_rules.h"
#include "net/response_rules.h"

namespace tw::net {
namespace {

// A redirect's own body is never used; this much of it is read so the
// connection can serve the next hop, the rest is not waited for.
constexpr int64_t kRedirectBodyBytes = int64_t{64} * 1024;
constexpr int64_t kNoCap = std::numeric_limits<int64_t>::max();

}  // namespace

struct Transfer::State {
  explicit State(Request r) : request(std::move(r)), transport(HopTransport::Make(request)) {}

  Request request;
  std::unique_ptr<HopTransport> transport;
  int32_t redirects = 0;
  std::string detail;  // the hop loop's own words; else the transport's
  HopCookies cookies;
};

namespace {

// One hop's response as the transfer sees it: a redirect to follow, whose body
// is drained, or the final response, handed to the sink within its bounds.
class HopResponse : public HopEvents {
 public:
  HopResponse(const Request& request, const HopRequest& hop, int32_t redirects, ResponseSink& sink,
              std::string& detail)
      : request_(request), hop_(hop), redirects_(redirects), sink_(sink), detail_(detail) {}

  std::optional<TransferEnd> OnHead(ResponseHead& head) override {
    head.url = hop_.url;
    head_ = head;
    if (std::optional<std::string> problem = FramingProblem(head)) {
      detail_ = *problem;
      return TransferEnd::kBadResponse;
    }
    head.contentLength = ContentLengthOf(head);
    if (request_.followRedirects) {
      next_ = NextHop(hop_.url, hop_.method, head.status, head.Header("Location"));
      if (next_ && redirects_ >= kMaxRedirects) return TransferEnd::kTooManyRedirects;
      if (next_) {
        limit_ = kRedirectBodyBytes;
        limitEnd_ = TransferEnd::kComplete;  // enough of it: follow now
        return std::nullopt;
      }
    }
    delivered_ = true;
    if (!sink_.OnResponse(head)) return TransferEnd::kRefusedBySink;
    int64_t cap = request_.maxBodyBytes >= 0 ? request_.maxBodyBytes : kNoCap;
    if (IsRedirectStatus(head.status) && head.Header("Location")) {
      cap = std::min(cap, kRedirectBodyBytes);
    }
    if (hop_.method != "HEAD" && head.contentLength && *head.contentLength > cap) {
      return TransferEnd::kTooLarge;
    }
    limit_ = cap;
    limitEnd_ = TransferEnd::kTooLarge;
    // Past its own announcement a body is broken, whatever the cap allows.
    if (std::optional<int64_t> announced = AnnouncedLength(head); announced && *announced <= cap) {
      limit_ = *announced;
      limitEnd_ = TransferEnd::kOverrun;
    }
    return std::nullopt;
  }

  std::optional<TransferEnd> OnBody(const char* data, size_t size) override {
    auto take = static_cast<int64_t>(size);
    std::optional<TransferEnd> end;
    if (received_ + take > limit_) {
      take = limit_ - received_;
      end = limitEnd_;
    }
    received_ += take;
    if (delivered_ && take > 0 && !sink_.OnBody(data, static_cast<size_t>(take))) {
      return TransferEnd::kRefusedBySink;
    }
    return end;
  }

  const std::optional<Hop>& next() const { return next_; }
  const ResponseHead& head() const { return head_; }

 private:
  const Request& request_;
  const HopRequest& hop_;
  int32_t redirects_;
  ResponseSink& sink_;
  std::string& detail_;
  ResponseHead head_;
  std::optional<Hop> next_;
  bool delivered_ = false;
  int64_t received_ = 0;
  int64_t limit_ = kNoCap;
  TransferEnd limitEnd_ = TransferEnd::kTooLarge;
};

}  // namespace

Transfer::Transfer(Request request) : state_(std::make_unique<State>(std::move(request))) {}
Transfer::~Transfer() = default;

void Transfer::Wake() { state_->transport->Wake(); }

int32_t Transfer::redirectsFollowed() const { return state_->redirects; }

const std::string& Transfer::detail() const {
  return state_->detail.empty() ? state_->transport->detail() : state_->detail;
}

TransferEnd Transfer::Run(ResponseSink& sink) {
  State& s = *state_;
  const Request& r = s.request;
  if (!PrepareNetwork()) {
    s.detail = "the network layer could not be initialised";
    return TransferEnd::kFailed;
  }
  if (!s.transport->Open()) return TransferEnd::kFailed;
  UrlParts url = r.url;
  std::string method = r.method.empty() ? "GET" : r.method;
  Bytes body = r.body;
  for (;;) {
    if (s.transport->Woken() || (r.poll && r.poll())) return TransferEnd::kWoken;
    HopRequest hop;
    hop.url = url;
    hop.method = method;
    hop.body = &body;
    hop.headerLines = r.carryCookies ? s.cookies.Apply(r.headerLines, url) : r.headerLines;
    // Basic credentials go to the first host only.
    hop.withCredentials =
        !r.server.user.empty() && !r.server.password.empty() && url.host == r.url.host;
    HopResponse response(r, hop, s.redirects, sink, s.detail);
    const TransferEnd end = s.transport->RunHop(hop, response);
    if (!response.next()) return end;
    // A redirect's head is all that is used: a body cut short does not matter.
    if (end != TransferEnd::kComplete && end != TransferEnd::kDropped &&
        end != TransferEnd::kSilent) {
      return end;
    }
    ++s.redirects;
    if (r.carryCookies) s.cookies.Collect(url, response.head().rawHeaders);
    if (!response.next()->keepBody) body.clear();
    method = response.next()->method;
    url = response.next()->url;
  }
}

}  // namespace tw::net
