#include "standin/share_service.h"

#include <algorithm>
#include <chrono>
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

// Writes the next piece of the file from `offset`, at most `length` bytes,
// honouring throttle and drop. Returns the bytes written, or -1 to make httplib
// close the connection, which is how a drop reaches the client.
class FileWriter {
 public:
  FileWriter(const StandinOptions& options, const std::atomic<bool>& stopping)
      : options_(options), stopping_(stopping), start_(std::chrono::steady_clock::now()) {}

  std::int64_t Write(std::uint64_t offset, std::uint64_t length, httplib::DataSink& sink) {
    constexpr std::uint64_t kChunk = 64 * 1024;
    std::uint64_t chunk = kChunk;
    if (options_.throttle > 0) chunk = std::clamp<std::uint64_t>(options_.throttle / 20, 1, kChunk);
    if (options_.dropAfter >= 0) {
      auto limit = static_cast<std::uint64_t>(options_.dropAfter);
      if (offset >= limit) return -1;
      chunk = std::min(chunk, limit - offset);
    }
    chunk = std::min(chunk, length);
    if (stopping_.load()) return -1;
    if (options_.throttle > 0) Pace(offset);

    buffer_.resize(chunk);
    for (std::uint64_t i = 0; i < chunk; ++i)
      buffer_[i] = static_cast<char>(StandinByte(offset + i));
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
  std::chrono::steady_clock::time_point start_;
  std::string buffer_;
};

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
    response.set_header("Location", scheme + HostOf(request, publicPort) + "/files/" + id + ".iso");
  });

  server.Get(R"(/files/([A-Za-z0-9._-]+))", [&options, &stopping](const httplib::Request&,
                                                                  httplib::Response& response) {
    if (options.notFound) {
      response.status = 404;
      response.set_content("<html><body>404 Not Found</body></html>", "text/html");
      return;
    }
    auto writer = std::make_shared<FileWriter>(options, stopping);
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
        static_cast<std::size_t>(options.size), "application/octet-stream",
        [writer](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          return writer->Write(offset, length, sink) >= 0;
        });
  });
}

}  // namespace tw
