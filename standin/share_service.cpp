#include "standin/share_service.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <regex>
#include <thread>

#include "standin/content.h"

namespace tw {
namespace {

constexpr char kSharePage[] = R"(<!DOCTYPE html>
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=utf-8">
<title>文件分享</title>
</head>
<body>
<div class="share-info">
<h1>{NAME}</h1>
<p>分享者：本地服务 · 有效期：永久</p>
{MARKER}</div>
</body>
</html>
)";

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  std::size_t pos = text.find(what);
  if (pos != std::string::npos) text.replace(pos, what.size(), with);
  return text;
}

std::string HostOf(const httplib::Request& request, int publicPort) {
  std::string host = request.get_header_value("Host");
  return host.empty() ? "127.0.0.1:" + std::to_string(publicPort) : host;
}

// Counts shared by the plain and the TLS side: one stand-in, one service.
std::atomic<int> fileResponses{0};
std::atomic<std::uint64_t> linkGeneration{0};

// Writes the next piece of a file response: `offset` counts the bytes of this
// response, `base` is the file offset it starts at. Honours throttle, drop and
// silence. Returns the bytes written, or -1 to make httplib close the
// connection, which is how a drop reaches the client.
class FileWriter {
 public:
  FileWriter(const StandinOptions& options, const std::atomic<bool>& stopping, std::uint64_t base,
             int response)
      : options_(options),
        stopping_(stopping),
        base_(base),
        drops_(options.dropAfter >= 0 && (options.dropTimes < 0 || response < options.dropTimes)),
        falls_silent_(options.silentAfter >= 0 && response == 0),
        start_(std::chrono::steady_clock::now()) {}

  std::int64_t Write(std::uint64_t offset, std::uint64_t length, httplib::DataSink& sink) {
    constexpr std::uint64_t kChunk = 64 * 1024;
    std::uint64_t chunk = kChunk;
    if (options_.throttle > 0) chunk = std::clamp<std::uint64_t>(options_.throttle / 20, 1, kChunk);
    if (drops_) {
      auto limit = static_cast<std::uint64_t>(options_.dropAfter);
      if (offset >= limit) return -1;
      chunk = std::min(chunk, limit - offset);
    }
    if (options_.dropAt >= 0) {
      const auto at = static_cast<std::uint64_t>(options_.dropAt);
      if (base_ + offset >= at) return -1;
      chunk = std::min(chunk, at - base_ - offset);
    }
    if (falls_silent_) {
      auto limit = static_cast<std::uint64_t>(options_.silentAfter);
      if (offset >= limit) {
        // Holds the connection open without a byte until the stand-in stops.
        while (!stopping_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return -1;
      }
      chunk = std::min(chunk, limit - offset);
    }
    chunk = std::min(chunk, length);
    if (stopping_.load()) return -1;
    if (options_.throttle > 0) Pace(offset);

    buffer_.resize(chunk);
    for (std::uint64_t i = 0; i < chunk; ++i)
      buffer_[i] = static_cast<char>(StandinByte(base_ + offset + i));
    if (!sink.write(buffer_.data(), buffer_.size())) return -1;
    return static_cast<std::int64_t>(chunk);
  }

 private:
  // Sleeps until `sent` bytes are due at the throttled rate, in short steps so
  // a stop is noticed.
  void Pace(std::uint64_t sent) {
    auto due = start_ + std::chrono::microseconds(sent * 1'000'000 / options_.throttle);
    while (!stopping_.load() && std::chrono::steady_clock::now() < due) {
      auto left = due - std::chrono::steady_clock::now();
      std::this_thread::sleep_for(
          std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(50)));
    }
  }

  const StandinOptions& options_;
  const std::atomic<bool>& stopping_;
  std::uint64_t base_;
  bool drops_;
  bool falls_silent_;
  std::chrono::steady_clock::time_point start_;
  std::string buffer_;
};

// The first byte a "Range: bytes=N-" or "bytes=N-M" asks for; nullopt for
// anything else (served whole).
std::optional<std::uint64_t> RangeStart(const std::string& value) {
  std::smatch match;
  static const std::regex kRange(R"(bytes=(\d+)-(\d*))");
  if (!std::regex_match(value, match, kRange)) return std::nullopt;
  return std::stoull(match[1].str());
}

}  // namespace

std::string StandinShareId(const std::string& code) {
  std::uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : code) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return std::to_string(100'000'000'000'000ull + hash % 900'000'000'000'000ull);
}

void RegisterShareService(httplib::Server& server, const StandinOptions& options,
                          const std::atomic<bool>& stopping, int publicPort) {
  server.Get(R"(/t/([A-Za-z0-9]{12}))", [&options, &stopping](const httplib::Request& request,
                                                              httplib::Response& response) {
    // In short steps, so that stopping the stand-in is not held up.
    const auto due =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.shareDelayMs);
    while (!stopping.load() && std::chrono::steady_clock::now() < due) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::string code = request.matches[1];
    std::string marker;
    if (!options.noMarker) {
      marker = "<input type=\"hidden\" id=\"shareId\" value=\"" + StandinShareId(code) + "\">\n";
    }
    std::string page = Replace(Replace(kSharePage, "{NAME}", code + ".iso"), "{MARKER}", marker);
    response.set_content(page, "text/html; charset=utf-8");
  });

  server.Get("/shareFileVerifyPass.action", [&options, publicPort](const httplib::Request& request,
                                                                   httplib::Response& response) {
    if (options.badJson) {
      response.set_content("<html><body>系统繁忙，请稍后再试</body></html>", "text/html");
      return;
    }
    std::string id = request.get_param_value("fileVO.id");
    if (id.empty()) {
      response.set_content(R"({"res_code":1,"res_message":"文件不存在"})",
                           "application/json;charset=UTF-8");
      return;
    }
    std::string scheme = options.tlsLinks ? "https://" : "http://";
    std::string url = scheme + HostOf(request, publicPort) + "/downloadFile.action?fileStr=" + id +
                      "&downloadType=1";
    std::string json = R"({"res_code":0,"res_message":"成功","fileId":")" + id +
                       R"(","fileName":")" + id + R"(.iso","fileSize":)" +
                       std::to_string(options.size) + R"(,"longDownloadUrl":")" + url + "\"}";
    response.set_content(json, "application/json;charset=UTF-8");
  });

  server.Get("/downloadFile.action", [&options, publicPort](const httplib::Request& request,
                                                            httplib::Response& response) {
    std::string id = request.get_param_value("fileStr");
    if (id.empty()) id = "file";
    std::string scheme = options.tlsLinks ? "https://" : "http://";
    response.status = 302;
    std::string location = scheme + HostOf(request, publicPort) + "/files/" + id + ".iso";
    // Every redirect signs a new link; with expiring links only the newest
    // one is served, and only once.
    std::uint64_t generation = ++linkGeneration;
    if (options.expiringLinks) location += "?sig=" + std::to_string(generation);
    response.set_header("Location", location);
  });

  server.Get(R"(/files/([A-Za-z0-9._-]+))", [&options, &stopping](const httplib::Request& request,
                                                                  httplib::Response& response) {
    // Ranges are answered here, not by httplib, so the faults can shape them.
    const_cast<httplib::Request&>(request).ranges.clear();
    if (options.notFound) {
      response.status = 404;
      response.set_content("<html><body>404 Not Found</body></html>", "text/html");
      return;
    }
    if (options.expiringLinks) {
      static std::mutex used;
      static std::uint64_t lastServed = 0;
      std::lock_guard guard(used);
      std::string sig = request.get_param_value("sig");
      std::uint64_t generation = sig.empty() ? 0 : std::stoull(sig);
      if (generation != linkGeneration.load() || generation <= lastServed) {
        response.status = 410;
        response.set_content("<html><body>410 Link expired</body></html>", "text/html");
        return;
      }
      lastServed = generation;
    }
    const int number = fileResponses++;
    const std::string etag = "\"standin-" + std::to_string(options.size) +
                             (options.changingEtag ? "-" + std::to_string(number) : std::string()) +
                             "\"";
    std::uint64_t first = 0;
    if (!options.noRanges && !options.noLength && request.has_header("Range")) {
      std::optional<std::uint64_t> start = RangeStart(request.get_header_value("Range"));
      std::string ifRange = request.get_header_value("If-Range");
      // An If-Range that names another version gets the whole file.
      if (start && (ifRange.empty() || ifRange == etag)) {
        first = *start;
        if (first >= options.size) {
          response.status = 416;
          response.set_header("Content-Range", "bytes */" + std::to_string(options.size));
          return;
        }
        response.status = 206;
        response.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                 std::to_string(options.size - 1) + "/" +
                                                 std::to_string(options.size));
      }
    }
    if (!options.noRanges) response.set_header("ETag", etag);
    auto writer = std::make_shared<FileWriter>(options, stopping, first, number);
    if (options.noLength) {
      response.set_chunked_content_provider(
          "application/octet-stream", [writer, size = options.size, sent = std::uint64_t{0}](
                                          std::size_t, httplib::DataSink& sink) mutable {
            if (sent >= size) {
              sink.done();
              return true;
            }
            std::int64_t written = writer->Write(sent, size - sent, sink);
            if (written < 0) return false;
            sent += static_cast<std::uint64_t>(written);
            return true;
          });
      return;
    }
    response.set_content_provider(
        static_cast<std::size_t>(options.size - first), "application/octet-stream",
        [writer](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          return writer->Write(offset, length, sink) >= 0;
        });
  });
}

}  // namespace tw
