#include "tests/support/chaos_server.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "standin/content.h"
#include "tests/support/gzip_stored.h"
#include "tests/support/loopback_socket.h"
#include "tests/support/raw_server.h"

namespace tw::testing {
namespace {

// The bytes an endless body sends past its announced end: of no version the
// server ever serves, so a download that keeps them cannot pass its checks.
constexpr int kGarbageVersion = 0x7FFF;
constexpr int64_t kPiece = 64 * 1024;
constexpr int64_t kGarbage = 16 * 1024;  // a chunk past the end
constexpr int32_t kSliceMs = 20;

std::string Head(int status, const std::string& lines) {
  const char* reason = status == 200   ? "OK"
                       : status == 206 ? "Partial Content"
                       : status == 302 ? "Found"
                       : status == 404 ? "Not Found"
                       : status == 429 ? "Too Many Requests"
                       : status == 500 ? "Internal Server Error"
                       : status == 502 ? "Bad Gateway"
                       : status == 504 ? "Gateway Timeout"
                                       : "Service Unavailable";
  return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nConnection: close\r\n" + lines +
         "\r\n";
}

std::string FileLines(int version, const std::string& type = "application/octet-stream") {
  return "Content-Type: " + type + "\r\nAccept-Ranges: bytes\r\nETag: " + ChaosEtag(version) +
         "\r\n";
}

std::string RangeLine(int64_t from, int64_t to, int64_t size) {
  return "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(to - 1) + "/" +
         std::to_string(size) + "\r\n";
}

std::string LengthLine(int64_t length) {
  return "Content-Length: " + std::to_string(length) + "\r\n";
}

std::string Chunk(const std::string& data) {
  char size[32];
  std::snprintf(size, sizeof size, "%zx\r\n", data.size());
  return size + data + "\r\n";
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

uint8_t ChaosByte(int version, int64_t offset) {
  return StandinByte(static_cast<uint64_t>(offset) ^ (static_cast<uint64_t>(version) << 40));
}

std::string ChaosBytes(int version, int64_t from, int64_t count) {
  // A soak serves and checks the same few versions over and over: each block
  // of them is made once per process (byte by byte is slow under the
  // sanitizers).
  constexpr int64_t kBlock = int64_t{1} << 20;
  static std::mutex mutex;
  static std::map<std::pair<int, int64_t>, std::shared_ptr<const std::string>> blocks;
  std::string bytes;
  bytes.reserve(static_cast<size_t>(std::max<int64_t>(count, 0)));
  for (int64_t at = from; at < from + count;) {
    std::shared_ptr<const std::string> block;
    {
      std::lock_guard lock(mutex);
      auto& made = blocks[{version, at / kBlock}];
      if (!made) {
        auto fresh = std::make_shared<std::string>(static_cast<size_t>(kBlock), '\0');
        const int64_t first = at / kBlock * kBlock;
        for (int64_t i = 0; i < kBlock; ++i) {
          (*fresh)[static_cast<size_t>(i)] = static_cast<char>(ChaosByte(version, first + i));
        }
        made = std::move(fresh);
      }
      block = made;
    }
    const int64_t within = at % kBlock;
    const int64_t take = std::min(kBlock - within, from + count - at);
    bytes.append(*block, static_cast<size_t>(within), static_cast<size_t>(take));
    at += take;
  }
  return bytes;
}

std::string ChaosEtag(int version) { return "\"v" + std::to_string(version) + "\""; }

ChaosServer::ChaosServer(ChaosServerOptions options) : options_(std::move(options)) {
  listener_ = ListenLoopback(64, port_);
  if (listener_ < 0) std::abort();  // no soak can go on without its server
  acceptor_ = std::thread([this] { Accept(); });
}

ChaosServer::~ChaosServer() {
  stopping_.store(true);
  acceptor_.join();
  CloseSocket(listener_);
}

std::string ChaosServer::Url(int file) const {
  return LoopbackUrl(port_, "/f/" + std::to_string(file));
}

int ChaosServer::Version(int file) {
  std::lock_guard lock(mutex_);
  return files_[file].version;
}

std::vector<ChaosConnection> ChaosServer::Connections(int file) {
  std::lock_guard lock(mutex_);
  return files_[file].connections;
}

void ChaosServer::Accept() {
  while (!stopping_.load()) {
    for (auto it = workers_.begin(); it != workers_.end();) {
      if ((*it)->done.load()) {
        (*it)->thread.join();
        it = workers_.erase(it);
      } else {
        ++it;
      }
    }
    if (PollReadable(listener_, kSliceMs) <= 0) continue;
    const int client = AcceptConnection(listener_);
    if (client < 0) continue;
    auto worker = std::make_unique<Worker>();
    Worker* self = worker.get();
    worker->thread = std::thread([this, client, self] {
      Serve(client);
      self->done.store(true);
    });
    workers_.push_back(std::move(worker));
  }
  for (auto& worker : workers_) worker->thread.join();
}

ChaosServer::Asked ChaosServer::Parse(const std::string& head) {
  Asked asked;
  const std::string prefix = "GET /f/";
  if (head.compare(0, prefix.size(), prefix) != 0) return asked;
  asked.file = std::atoi(head.c_str() + prefix.size());
  size_t at = head.find("\r\n");
  while (at != std::string::npos && at + 2 < head.size()) {
    const size_t end = head.find("\r\n", at + 2);
    if (end == std::string::npos) break;
    const std::string line = head.substr(at + 2, end - at - 2);
    at = end;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string name = Lower(line.substr(0, colon));
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    if (name == "range" && value.compare(0, 6, "bytes=") == 0) {
      asked.ranged = true;
      asked.from = std::atoll(value.c_str() + 6);
    } else if (name == "if-range") {
      asked.ifRange = value;
    }
  }
  return asked;
}

void ChaosServer::Serve(int socket) {
  const Asked asked = Parse(RawServer::ReadHead(socket, stopping_));
  if (asked.file < 0) {
    SendAll(socket, Head(404, LengthLine(0)));
    CloseConnection(socket);
    return;
  }
  ChaosLot lot;
  int version;
  {
    std::lock_guard lock(mutex_);
    FileState& file = files_[asked.file];
    const auto index = static_cast<int>(file.connections.size());
    lot = DrawLot(options_.seed, asked.file, index, options_.weights);
    if (lot.fault == ChaosFault::kReplaced) ++file.version;
    version = file.version;
    ChaosConnection connection;
    connection.lot = lot;
    connection.start = std::chrono::steady_clock::now();
    connection.askedFrom = asked.ranged ? asked.from : -1;
    connection.version = version;
    file.connections.push_back(connection);
  }
  if (!Answer(socket, asked, lot, version)) CloseConnection(socket);
}

bool ChaosServer::Answer(int socket, const Asked& asked, const ChaosLot& lot, int version) {
  const int64_t size = options_.fileSize;
  uint64_t state = lot.detail;
  auto pick = [&state](int64_t below) {
    return below <= 0 ? 0 : static_cast<int64_t>(MixStep(state) % static_cast<uint64_t>(below));
  };
  // An honest server answers the range while it still fits the version.
  const bool honoured = asked.ranged && asked.from < size &&
                        (asked.ifRange.empty() || asked.ifRange == ChaosEtag(version));
  const int64_t from = honoured ? asked.from : 0;
  const int status = honoured ? 206 : 200;
  auto fileHead = [&](int code, int64_t first, int64_t end, const std::string& extra) {
    return Head(code, FileLines(version) + (code == 206 ? RangeLine(first, end, size) : "") +
                          LengthLine(end - first) + extra);
  };
  // Bytes [first, end) of the version under `head`.
  auto send = [&](const std::string& head, int64_t first, int64_t end, bool chunked = false) {
    return SendAll(socket, head) && SendFileBytes(socket, version, first, end, chunked) == end;
  };
  switch (lot.fault) {
    case ChaosFault::kClean:
    case ChaosFault::kReplaced:
      send(fileHead(status, from, size, ""), from, size);
      return false;
    case ChaosFault::kWholeToRange:
      send(fileHead(200, 0, size, ""), 0, size);
      return false;
    case ChaosFault::kDrop:
    case ChaosFault::kReset:
    case ChaosFault::kStall: {
      if (lot.fault != ChaosFault::kStall && pick(4) == 0) {
        // No answer at all: an orderly close, or a reset.
        if (lot.fault == ChaosFault::kReset) ResetConnection(socket);
        return lot.fault == ChaosFault::kReset;
      }
      send(fileHead(status, from, size, ""), from, from + pick(size - from));
      if (lot.fault == ChaosFault::kStall) Idle(socket, options_.stallMs);
      if (lot.fault == ChaosFault::kReset) ResetConnection(socket);
      return lot.fault == ChaosFault::kReset;
    }
    case ChaosFault::kTrickle:
      AnswerTrickle(socket, fileHead(status, from, size, ""), from, lot.detail, version);
      return false;
    case ChaosFault::kBusy:
    case ChaosFault::kBusyLong: {
      const int32_t after =
          lot.fault == ChaosFault::kBusy ? options_.shortRetryAfterS : options_.longRetryAfterS;
      SendAll(socket, Head(503, "Retry-After: " + std::to_string(after) +
                                    "\r\nContent-Type: text/plain\r\n" + LengthLine(5)) +
                          "busy\n");
      return false;
    }
    case ChaosFault::kServerError: {
      static constexpr int kStatuses[] = {500, 502, 504, 429};
      SendAll(socket,
              Head(kStatuses[pick(4)], "Content-Type: text/plain\r\n" + LengthLine(6)) + "error\n");
      return false;
    }
    case ChaosFault::kNoRangesDrop:
      send(Head(200, "Content-Type: application/octet-stream\r\n" + LengthLine(size)), 0,
           pick(size));
      return false;
    case ChaosFault::kShiftedRange: {
      const int64_t shift = 1 + pick(65536);
      int64_t first = std::clamp<int64_t>(pick(2) ? from + shift : from - shift, 0, size - 1);
      if (first == from) first = from > 0 ? from - 1 : 1;
      send(fileHead(206, first, size, ""), first, size);
      return false;
    }
    case ChaosFault::kShortRange: {
      const int64_t end = honoured && size - from >= 2 ? from + 1 + pick(size - from - 1) : size;
      send(fileHead(status, from, end, ""), from, end);
      return false;
    }
    case ChaosFault::kEndlessChunked:
      AnswerEndlessChunked(socket, from, lot.detail, version);
      return false;
    case ChaosFault::kEndlessRedirect:
      AnswerEndlessRedirect(socket, asked.file);
      return false;
    case ChaosFault::kGzip: {
      const std::string body = GzipStored(ChaosBytes(version, 0, size));
      SendAll(socket, Head(200, FileLines(version) + "Content-Encoding: gzip\r\n" +
                                    LengthLine(static_cast<int64_t>(body.size()))) +
                          body);
      return false;
    }
    case ChaosFault::kMultipart: {
      if (!honoured) {
        send(fileHead(status, from, size, ""), from, size);
        return false;
      }
      const std::string boundary = "chaos-boundary";
      const std::string body = "--" + boundary + "\r\nContent-Type: application/octet-stream\r\n" +
                               RangeLine(from, size, size) + "\r\n" +
                               ChaosBytes(version, from, size - from) + "\r\n--" + boundary +
                               "--\r\n";
      SendAll(socket, Head(206, FileLines(version, "multipart/byteranges; boundary=" + boundary) +
                                    LengthLine(static_cast<int64_t>(body.size()))) +
                          body);
      return false;
    }
    case ChaosFault::kTwoLengths: {
      const int64_t length = size - from;
      const int64_t other = length > 1000 ? length - 1 - pick(1000) : length + 1 + pick(1000);
      send(fileHead(status, from, size, LengthLine(other)), from, size);
      return false;
    }
    case ChaosFault::kLengthAndChunked:
      if (send(fileHead(status, from, size, "Transfer-Encoding: chunked\r\n"), from, size, true)) {
        SendAll(socket, "0\r\n\r\n");
      }
      return false;
  }
  return false;
}

void ChaosServer::AnswerTrickle(int socket, const std::string& head, int64_t from, uint64_t detail,
                                int version) {
  const int64_t size = options_.fileSize;
  const int32_t interval = options_.trickleIntervalsMs[MixStep(detail) % 3];
  // A little at full speed first, as a line that slows down mid-body.
  const int64_t burst =
      std::min<int64_t>(size - from, static_cast<int64_t>(MixStep(detail) % kPiece));
  if (!SendAll(socket, head)) return;
  int64_t at = SendFileBytes(socket, version, from, from + burst);
  const auto deadline = EndlessDeadline();
  while (at < size && std::chrono::steady_clock::now() < deadline && Idle(socket, interval) &&
         SendAll(socket, ChaosBytes(version, at, 1))) {
    ++at;
  }
}

void ChaosServer::AnswerEndlessChunked(int socket, int64_t from, uint64_t detail, int version) {
  const int64_t size = options_.fileSize;
  // Half announce the rest of the file, half only a short stretch of it.
  int64_t end = size;
  if ((MixStep(detail) & 1) && size - from > 100) {
    end = from + 100 +
          static_cast<int64_t>(MixStep(detail) % static_cast<uint64_t>(size - from - 100));
  }
  const std::string lines =
      FileLines(version) + RangeLine(from, end, size) + "Transfer-Encoding: chunked\r\n";
  if (!SendAll(socket, Head(206, lines)) || SendFileBytes(socket, version, from, end, true) < end) {
    return;
  }
  const auto deadline = EndlessDeadline();
  for (int64_t past = end; std::chrono::steady_clock::now() < deadline &&
                           SendAll(socket, Chunk(ChaosBytes(kGarbageVersion, past, kGarbage))) &&
                           Idle(socket, kSliceMs);
       past += kGarbage) {
  }
}

void ChaosServer::AnswerEndlessRedirect(int socket, int file) {
  if (!SendAll(socket, Head(302, "Location: " + Url(file) + "\r\nContent-Type: text/html\r\n"))) {
    return;
  }
  // No length and no chunks: the body ends only with the connection.
  std::string filler;
  while (filler.size() < 4096) filler += "<p>moved elsewhere</p>\n";
  const auto deadline = EndlessDeadline();
  while (std::chrono::steady_clock::now() < deadline && SendAll(socket, filler) &&
         Idle(socket, 50)) {
  }
}

std::chrono::steady_clock::time_point ChaosServer::EndlessDeadline() const {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.endlessLimitMs);
}

int64_t ChaosServer::SendFileBytes(int socket, int version, int64_t from, int64_t to,
                                   bool chunked) {
  int64_t at = from;
  while (at < to && !stopping_.load()) {
    const int64_t count = std::min(kPiece, to - at);
    std::string piece = ChaosBytes(version, at, count);
    if (!SendAll(socket, chunked ? Chunk(piece) : piece)) break;
    at += count;
  }
  return at;
}

bool ChaosServer::Idle(int socket, int32_t ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  char buffer[512];
  while (std::chrono::steady_clock::now() < deadline) {
    if (stopping_.load()) return false;
    if (PollReadable(socket, kSliceMs) > 0 && Receive(socket, buffer, sizeof buffer) <= 0) {
      return false;
    }
  }
  return true;
}

}  // namespace tw::testing
