// share_standin: a local stand-in for the cloud share service, for tests and
// demos. Prints "PORT <n>" once it listens on 127.0.0.1:<n>, then serves share
// pages, the verify answer, the long download redirect and the files until
// SIGTERM or SIGINT. See README.md for the fault switches.
#include <httplib.h>
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include "standin/one_port_relay.h"
#include "standin/self_signed.h"
#include "standin/share_service.h"

namespace {

constexpr char kUsage[] =
    "usage: share_standin [--port N] [--size BYTES] [--big-size] [--throttle BYTES_PER_SEC]\n"
    "                     [--drop-after BYTES] [--drop-times N] [--drop-at BYTE]\n"
    "                     [--silent-after BYTES]\n"
    "                     [--expiring-links] [--no-ranges] [--changing-etag]\n"
    "                     [--no-length] [--not-found] [--no-marker]\n"
    "                     [--bad-json] [--tls-links] [--share-delay MS]\n"
    "                     [--request-log FILE] [--ca-out FILE] [--verbose]\n";

template <typename Number>
bool ParseNumber(const char* text, Number& value) {
  std::string_view view(text);
  auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
  return error == std::errc() && end == view.data() + view.size();
}

struct Logging {
  bool verbose = false;
  std::string requestLog;  // each request's method and target, appended as it arrives
  std::string caOut;       // where the certificate goes, for clients to trust (TARNWICK_CA_FILE)
};

bool ParseArguments(int argc, char** argv, tw::StandinOptions& options, Logging& logging) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto number = [&](auto& field) {
      ++i;
      return value != nullptr && ParseNumber(value, field);
    };
    bool ok = true;
    if (arg == "--port") {
      ok = number(options.port) && options.port >= 0 && options.port < 65536;
    } else if (arg == "--size") {
      ok = number(options.size);
    } else if (arg == "--big-size") {
      options.size = tw::kBigSize;
    } else if (arg == "--throttle") {
      ok = number(options.throttle);
    } else if (arg == "--drop-after") {
      ok = number(options.dropAfter) && options.dropAfter >= 0;
    } else if (arg == "--drop-times") {
      ok = number(options.dropTimes) && options.dropTimes >= 0;
    } else if (arg == "--drop-at") {
      ok = number(options.dropAt) && options.dropAt >= 0;
    } else if (arg == "--silent-after") {
      ok = number(options.silentAfter) && options.silentAfter >= 0;
    } else if (arg == "--expiring-links") {
      options.expiringLinks = true;
    } else if (arg == "--no-ranges") {
      options.noRanges = true;
    } else if (arg == "--changing-etag") {
      options.changingEtag = true;
    } else if (arg == "--no-length") {
      options.noLength = true;
    } else if (arg == "--not-found") {
      options.notFound = true;
    } else if (arg == "--no-marker") {
      options.noMarker = true;
    } else if (arg == "--bad-json") {
      options.badJson = true;
    } else if (arg == "--tls-links") {
      options.tlsLinks = true;
    } else if (arg == "--share-delay") {
      ok = number(options.shareDelayMs);
    } else if (arg == "--request-log") {
      ok = value != nullptr;
      if (ok) logging.requestLog = argv[++i];
    } else if (arg == "--ca-out") {
      ok = value != nullptr;
      if (ok) logging.caOut = argv[++i];
    } else if (arg == "--verbose") {
      logging.verbose = true;
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "share_standin: bad argument %s\n%s", argv[i], kUsage);
      return false;
    }
  }
  return true;
}

void Configure(httplib::Server& server, const tw::StandinOptions& options,
               const std::atomic<bool>& stopping, int publicPort, const Logging& logging) {
  server.new_task_queue = [] { return new httplib::ThreadPool(32); };
  tw::RegisterShareService(server, options, stopping, publicPort);
  if (!logging.requestLog.empty()) {
    server.set_pre_routing_handler(
        [path = logging.requestLog](const httplib::Request& request, httplib::Response&) {
          // One write per line, so lines from both servers never interleave.
          std::string line = request.method + " " + request.target;
          if (request.has_header("Range")) line += "\tRange: " + request.get_header_value("Range");
          line += "\n";
          if (FILE* log = std::fopen(path.c_str(), "a")) {
            std::fwrite(line.data(), 1, line.size(), log);
            std::fclose(log);
          }
          return httplib::Server::HandlerResponse::Unhandled;
        });
  }
  if (logging.verbose) {
    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
      std::fprintf(stderr, "share_standin: %s %s -> %d\n", request.method.c_str(),
                   request.target.c_str(), response.status);
    });
  }
}

}  // namespace

int main(int argc, char** argv) {
  tw::StandinOptions options;
  Logging logging;
  if (!ParseArguments(argc, argv, options, logging)) return 2;

  // Signals are taken by sigwait below; every thread made after this inherits the mask.
  signal(SIGPIPE, SIG_IGN);
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGTERM);
  sigaddset(&ending, SIGINT);
  pthread_sigmask(SIG_BLOCK, &ending, nullptr);

  tw::SelfSignedIdentity identity = tw::MakeSelfSignedIdentity();
  if (!identity) {
    std::fprintf(stderr, "share_standin: cannot make a TLS certificate\n");
    return 1;
  }
  // Written before the port is announced: a client that sees the port can trust it.
  if (!logging.caOut.empty() && !tw::WriteCertificatePem(identity, logging.caOut)) {
    std::fprintf(stderr, "share_standin: cannot write %s\n", logging.caOut.c_str());
    return 1;
  }
  tw::OnePortRelay relay;
  if (!relay.Listen(options.port)) {
    std::fprintf(stderr, "share_standin: cannot listen on 127.0.0.1:%d\n", options.port);
    return 1;
  }

  std::atomic<bool> stopping{false};
  httplib::Server plain;
  httplib::SSLServer tls(identity.certificate.get(), identity.key.get());
  Configure(plain, options, stopping, relay.port(), logging);
  Configure(tls, options, stopping, relay.port(), logging);
  int plainPort = plain.bind_to_any_port("127.0.0.1");
  int tlsPort = tls.is_valid() ? tls.bind_to_any_port("127.0.0.1") : -1;
  if (plainPort <= 0 || tlsPort <= 0) {
    std::fprintf(stderr, "share_standin: cannot start the internal servers\n");
    return 1;
  }
  std::thread plainThread([&plain] { plain.listen_after_bind(); });
  std::thread tlsThread([&tls] { tls.listen_after_bind(); });
  std::thread relayThread([&] { relay.Run(plainPort, tlsPort); });

  // Both internal sockets already listen, so connections queue until accepted.
  std::printf("PORT %d\n", relay.port());
  std::fflush(stdout);

  int received = 0;
  sigwait(&ending, &received);

  stopping.store(true);
  relay.Stop();
  relayThread.join();
  plain.stop();
  tls.stop();
  plainThread.join();
  tlsThread.join();
  return 0;
}
