// Download engine benchmark, in one run:
//  1. Throughput: a >= 1 GiB body from a server on 127.0.0.1 (a forked process,
//     so its CPU is nobody's), over plain HTTP and over HTTPS, fetched through
//     StartDownload and with the curl command-line tool into the same kind of
//     target (tmpfs and disk), with CPU seconds and peak memory of each. The
//     HTTPS server's certificate is made at run time; this program and its
//     curl runs trust it, nothing else does.
//  2. Stop latency: how long StopDownload takes to bring the Ended report in
//     each phase a transfer can be stopped in.
//  3. Digests: the engine with its SHA-256 and SHA-1 against the engine without.
//  4. The whole job, the file and its checksums: the engine against curl
//     followed by sha256sum and sha1sum, and against aria2c --checksum.
//
// Usage: download_bench [size-MiB=1024] [repeats=3] [disk-folder=/tmp]
// (TW_BENCH_ONLY_DIGESTS set in the environment: only the digest rows;
// TW_BENCH_ONLY_WHOLE_JOB: only the whole job; TW_BENCH_NO_DIGESTS: the
// throughput rows without the engine's digests, and no whole job.)
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/body_digests.h"
#include "download/download_registry.h"
#include "net/transfer.h"
#include "net/trust.h"
#include "standin/self_signed.h"
#include "tests/support/full_backlog_listener.h"
#include "tests/support/loopback_socket.h"
#include "tests/support/raw_server.h"
#include "tests/support/slow_lookup.h"
#include "tests/support/wait_for.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
double CpuSeconds(const rusage& u) {
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
         u.ru_stime.tv_usec / 1e6;
}

int Listen(int backlog, int* port) {
  const int fd = tw::testing::ListenLoopback(backlog, *port);
  if (fd < 0) {
    perror("listen");
    std::exit(1);
  }
  return fd;
}

void ReadRequest(int fd) {
  std::string request;
  char buf[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;
    request.append(buf, static_cast<size_t>(n));
  }
}

// The server's side of one connection, plain or TLS.
class Connection {
 public:
  Connection(int fd, SSL_CTX* tls) : fd_(fd) {
    if (tls == nullptr) return;
    ssl_ = SSL_new(tls);
    if (ssl_ == nullptr || SSL_set_fd(ssl_, fd) != 1 || SSL_accept(ssl_) != 1) ok_ = false;
  }
  ~Connection() {
    if (ssl_ != nullptr) {
      if (ok_) SSL_shutdown(ssl_);
      SSL_free(ssl_);
    }
    close(fd_);
  }
  bool ok() const { return ok_; }
  void ReadRequest() {
    if (ssl_ == nullptr) {
      ::ReadRequest(fd_);
      return;
    }
    std::string request;
    char buf[4096];
    while (ok_ && request.find("\r\n\r\n") == std::string::npos) {
      int n = SSL_read(ssl_, buf, sizeof buf);
      if (n <= 0) ok_ = false;
      if (n > 0) request.append(buf, static_cast<size_t>(n));
    }
  }
  // Bytes sent, 0 on failure.
  size_t Send(const char* data, size_t size) {
    if (!ok_) return 0;
    if (ssl_ == nullptr) {
      ssize_t sent = send(fd_, data, size, MSG_NOSIGNAL);
      ok_ = sent > 0;
      return ok_ ? static_cast<size_t>(sent) : 0;
    }
    size_t written = 0;
    ok_ = SSL_write_ex(ssl_, data, size, &written) == 1;
    return ok_ ? written : 0;
  }

 private:
  int fd_;
  SSL* ssl_ = nullptr;
  bool ok_ = true;
};

// The body server, in a child process: every connection gets `size` generated
// bytes with Content-Length, sent from a 4 MiB block; over TLS with `tls`.
// bytesPerSecond > 0 paces the body, as a network slower than the loopback would.
pid_t ForkBodyServer(int64_t size, int* port, SSL_CTX* tls = nullptr, int64_t bytesPerSecond = 0) {
  int listener = Listen(64, port);
  pid_t pid = fork();
  if (pid != 0) {
    close(listener);
    return pid;
  }
  signal(SIGPIPE, SIG_IGN);
  std::vector<char> block(4 << 20);
  uint32_t x = 12345;
  for (char& c : block) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  for (;;) {
    int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::thread([fd, size, tls, bytesPerSecond, &block] {
      Connection c(fd, tls);
      c.ReadRequest();
      std::string head =
          "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
          "Content-Length: " +
          std::to_string(size) + "\r\nConnection: close\r\n\r\n";
      c.Send(head.data(), head.size());
      int64_t left = size;
      const auto start = std::chrono::steady_clock::now();
      // Paced bodies go out in slices of 1/100 s.
      const size_t slice =
          bytesPerSecond > 0 ? static_cast<size_t>(bytesPerSecond / 100) : block.size();
      while (c.ok() && left > 0) {
        size_t n = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(slice)));
        left -= static_cast<int64_t>(c.Send(block.data(), n));
        if (bytesPerSecond > 0) {
          std::this_thread::sleep_until(
              start + std::chrono::duration<double>(static_cast<double>(size - left) /
                                                    static_cast<double>(bytesPerSecond)));
        }
      }
    }).detach();
  }
}

// A TLS identity made now, its certificate written where the clients of this
// run are told to trust it.
struct TlsServerSetup {
  SSL_CTX* ctx = nullptr;
  std::string certificateFile;
  ~TlsServerSetup() {
    SSL_CTX_free(ctx);
    if (!certificateFile.empty()) unlink(certificateFile.c_str());
  }
};

bool MakeTlsServer(TlsServerSetup& setup) {
  tw::SelfSignedIdentity identity = tw::MakeSelfSignedIdentity();
  if (!identity) return false;
  char path[] = "/tmp/tw_download_bench_cert_XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return false;
  close(fd);
  setup.certificateFile = path;
  const bool written = tw::WriteCertificatePem(identity, path);
  setup.ctx = SSL_CTX_new(TLS_server_method());
  return written && setup.ctx != nullptr &&
         SSL_CTX_use_certificate(setup.ctx, identity.certificate.get()) == 1 &&
         SSL_CTX_use_PrivateKey(setup.ctx, identity.key.get()) == 1;
}

// Peak resident memory of this process since the last reset, in KiB.
long PeakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  return static_cast<bool>(clear);
}

struct Ended {
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  float fraction = 0;
  int64_t received = 0;
  Clock::time_point at;

  tw::ProgressCallback Callback() {
    return [this](int32_t, int32_t status, int64_t, int64_t received_, int64_t, float fraction_,
                  float, int32_t, const tw::Text&) {
      if (status != tw::Ended) return;
      std::lock_guard guard(mutex);
      ended = true;
      fraction = fraction_;
      received = received_;
      at = Clock::now();
      changed.notify_all();
    };
  }
  bool Wait(std::chrono::seconds limit) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, limit, [this] { return ended; });
  }
};

struct Run {
  double seconds = 0;
  double cpu = 0;
  long peakKiB = 0;
  bool ok = false;
};

Run EngineRun(const std::string& url, const std::string& target, int64_t size) {
  unlink(target.c_str());
  Run run;
  bool peakReset = ResetPeak();
  Ended ended;
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  auto start = Clock::now();
  if (tw::StartDownload(url, target, ended.Callback(), 7) != 1) return run;
  if (!ended.Wait(std::chrono::seconds(600))) return run;
  run.seconds = Seconds(ended.at - start);
  getrusage(RUSAGE_SELF, &after);
  run.cpu = CpuSeconds(after) - CpuSeconds(before);
  run.peakKiB = peakReset ? PeakKiB() : -1;
  struct stat st {};
  run.ok = ended.fraction == 1.0f && stat(target.c_str(), &st) == 0 && st.st_size == size;
  // Let the download thread leave the registry before the next run.
  tw::testing::WaitFor([] { return tw::StopDownload(7) != 1; }, std::chrono::seconds(5),
                       "the download thread to leave the registry");
  unlink(target.c_str());
  unlink((target + ".sha256").c_str());
  unlink((target + ".sha1").c_str());
  return run;
}

// Commands run one after another, as a user would type them: their time
// together, their CPU summed, the largest peak memory; ok when each exits 0
// and the target holds `size` bytes.
Run ToolRun(const std::vector<std::vector<std::string>>& commands, const std::string& target,
            int64_t size) {
  unlink(target.c_str());
  Run run;
  run.ok = true;
  auto start = Clock::now();
  for (std::vector<std::string> args : commands) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // What the tools print (the sums) would run into the table.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int spawned = posix_spawnp(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) return Run{};
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.cpu += CpuSeconds(usage);
    run.peakKiB = std::max(run.peakKiB, usage.ru_maxrss);
    run.ok = run.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  run.seconds = Seconds(Clock::now() - start);
  struct stat st {};
  run.ok = run.ok && stat(target.c_str(), &st) == 0 && st.st_size == size;
  unlink(target.c_str());
  return run;
}

std::vector<std::string> CurlCommand(const std::string& url, const std::string& target,
                                     const std::string& caFile) {
  std::vector<std::string> args = {"curl", "-sS", "-o", target, url};
  if (!caFile.empty()) args.insert(args.begin() + 2, {"--cacert", caFile});
  return args;
}

Run CurlRun(const std::string& url, const std::string& target, int64_t size,
            const std::string& caFile = "") {
  return ToolRun({CurlCommand(url, target, caFile)}, target, size);
}

Run Median(std::vector<Run> runs) {
  std::sort(runs.begin(), runs.end(),
            [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
  Run m = runs[runs.size() / 2];
  for (const Run& r : runs) m.ok = m.ok && r.ok;
  for (const Run& r : runs) m.peakKiB = std::max(m.peakKiB, r.peakKiB);
  return m;
}

// Whether every run of both clients delivered the whole file, and if not, whose did not.
const char* Verdict(const Run& engine, const Run& curl) {
  if (engine.ok && curl.ok) return "yes";
  if (!engine.ok && !curl.ok) return "NO (both)";
  return engine.ok ? "NO (curl)" : "NO (Tarnwick)";
}

// Where a benchmark writes the file: memory, then the disk under test.
struct Target {
  const char* name;
  std::string path;
};

// Serves `size` bytes over http and then https from a fresh server each and
// calls `row` for each target under each; the downloads of this program trust
// the server's certificate for that time, as the curl tool does with --cacert.
template <typename Row>
void ForEachServedTarget(int64_t size, const std::string& diskFolder, Row row) {
  TlsServerSetup tls;
  if (!MakeTlsServer(tls)) {
    std::fprintf(stderr, "no TLS identity for the HTTPS server\n");
    std::exit(1);
  }
  setenv(tw::net::kCaFileVariable, tls.certificateFile.c_str(), 1);
  const Target targets[] = {{"tmpfs", "/dev/shm/tw_download_bench.iso"},
                            {"disk", diskFolder + "/tw_download_bench.iso"}};
  for (bool secure : {false, true}) {
    int port = 0;
    pid_t server = ForkBodyServer(size, &port, secure ? tls.ctx : nullptr);
    const std::string url = std::string(secure ? "https" : "http") +
                            "://127.0.0.1:" + std::to_string(port) + "/image.iso";
    const std::string ca = secure ? tls.certificateFile : "";
    for (const Target& t : targets) {
      row(secure ? "https" : "http", url, ca, t);
      std::fflush(stdout);
    }
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
  }
  // The certificate file goes with `tls`; from here on the system's roots alone count again.
  unsetenv(tw::net::kCaFileVariable);
  std::printf("\n");
}

void Throughput(int64_t size, int repeats, const std::string& diskFolder) {
  double mib = static_cast<double>(size) / (1 << 20);
  std::printf("Throughput: %.0f MiB from 127.0.0.1, median of %d runs each, after one warm-up\n\n",
              mib, repeats);
  std::printf(
      "| scheme | target | Tarnwick MiB/s | curl MiB/s | ratio | CPU s (Tarnwick / curl) "
      "| CPU ratio | peak RSS MiB (Tarnwick / curl) | ok |\n");
  std::printf("|---|---|---:|---:|---:|---:|---:|---:|---|\n");
  ForEachServedTarget(
      size, diskFolder,
      [&](const char* scheme, const std::string& url, const std::string& ca, const Target& t) {
        // The first write of this much into a target can pay for memory the
        // machine has never touched before; a warm-up run takes that cost, and
        // the order alternates so neither client always goes first.
        CurlRun(url, t.path, size, ca);
        std::vector<Run> engine, curl;
        for (int i = 0; i < repeats; ++i) {
          if (i % 2 == 0) {
            engine.push_back(EngineRun(url, t.path, size));
            curl.push_back(CurlRun(url, t.path, size, ca));
          } else {
            curl.push_back(CurlRun(url, t.path, size, ca));
            engine.push_back(EngineRun(url, t.path, size));
          }
        }
        Run e = Median(engine), c = Median(curl);
        std::printf("| %s | %s | %.0f | %.0f | %.2f | %.2f / %.2f | %.2f | %.1f / %.1f | %s |\n",
                    scheme, t.name, mib / e.seconds, mib / c.seconds, c.seconds / e.seconds, e.cpu,
                    c.cpu, e.cpu / c.cpu, e.peakKiB / 1024.0, c.peakKiB / 1024.0, Verdict(e, c));
      });
}

// The SHA-256 of the file the server at `url` serves, read once with curl and
// sha256sum, for aria2c to check against; empty when that fails.
std::string ServedSha256(const std::string& url, const std::string& target,
                         const std::string& caFile) {
  const std::string sums = target + ".sum";
  const std::string command = "curl -sS " + (caFile.empty() ? "" : "--cacert '" + caFile + "' ") +
                              "-o '" + target + "' '" + url + "' && sha256sum '" + target +
                              "' > '" + sums + "'";
  std::string hex;
  if (std::system(command.c_str()) == 0) {
    std::ifstream(sums) >> hex;
  }
  unlink(target.c_str());
  unlink(sums.c_str());
  return hex;
}

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The user's whole job: the file and its checksums. The engine writes the
// image with its SHA-256 and SHA-1 beside it; the same by hand is curl, then
// sha256sum and sha1sum over the file; aria2c checks one digest (SHA-256) as
// it finishes.
void WholeJob(int64_t size, int repeats, const std::string& diskFolder) {
  const bool aria = HaveTool("aria2c");
  const double mib = static_cast<double>(size) / (1 << 20);
  std::printf(
      "Whole job: %.0f MiB and its checksums, median of %d runs each (Tarnwick: the file with its "
      "SHA-256 and SHA-1; curl, then sha256sum and sha1sum; aria2c --checksum=sha-256)\n\n",
      mib, repeats);
  std::printf(
      "| scheme | target | Tarnwick s | curl + sums s | aria2c s | curl + sums / Tarnwick "
      "| aria2c / Tarnwick | CPU s (Tarnwick / curl + sums / aria2c) | ok |\n"
      "|---|---|---:|---:|---:|---:|---:|---:|---|\n");
  ForEachServedTarget(
      size, diskFolder,
      [&](const char* scheme, const std::string& url, const std::string& ca, const Target& t) {
        const std::string hex = ServedSha256(url, t.path, ca);  // also the warm-up
        const std::vector<std::vector<std::string>> byHand = {
            CurlCommand(url, t.path, ca), {"sha256sum", t.path}, {"sha1sum", t.path}};
        const std::string folder = t.path.substr(0, t.path.rfind('/'));
        const std::string name = t.path.substr(t.path.rfind('/') + 1);
        std::vector<std::string> ariaArgs = {"aria2c",
                                             "-q",
                                             "--allow-overwrite=true",
                                             "--auto-file-renaming=false",
                                             "--file-allocation=none",
                                             "-x1",
                                             "-s1",
                                             "-d",
                                             folder,
                                             "-o",
                                             name,
                                             "--checksum=sha-256=" + hex,
                                             url};
        if (!ca.empty()) ariaArgs.insert(ariaArgs.begin() + 1, "--ca-certificate=" + ca);
        std::vector<Run> engine, hand, aria2;
        for (int i = 0; i < repeats; ++i) {
          // Each client goes first in turn.
          for (int k = 0; k < 3; ++k) {
            switch ((i + k) % 3) {
              case 0:
                engine.push_back(EngineRun(url, t.path, size));
                break;
              case 1:
                hand.push_back(ToolRun(byHand, t.path, size));
                break;
              default:
                if (aria && !hex.empty()) aria2.push_back(ToolRun({ariaArgs}, t.path, size));
                break;
            }
          }
        }
        const Run e = Median(engine), h = Median(hand);
        const Run a = aria2.empty() ? Run{} : Median(aria2);
        const bool ok = e.ok && h.ok && (aria2.empty() || a.ok);
        if (aria2.empty()) {
          std::printf("| %s | %s | %.2f | %.2f | - | %.2f | - | %.2f / %.2f / - | %s |\n", scheme,
                      t.name, e.seconds, h.seconds, h.seconds / e.seconds, e.cpu, h.cpu,
                      ok ? "yes" : "NO");
        } else {
          std::printf("| %s | %s | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f / %.2f / %.2f | %s |\n",
                      scheme, t.name, e.seconds, h.seconds, a.seconds, h.seconds / e.seconds,
                      a.seconds / e.seconds, e.cpu, h.cpu, a.cpu, ok ? "yes" : "NO");
        }
      });
}

// Starts a download, waits `waitMs` and, with `needStatus`, until that report
// came (bounded), stops it and returns the milliseconds from StopDownload to
// the Ended report; -1 when the phase was not reached or the download ended
// by itself.
double StopLatencyMs(const std::string& url, const std::string& target, int waitMs,
                     int32_t needStatus) {
  Ended ended;
  std::atomic<int32_t> seen{0};
  auto inner = ended.Callback();
  tw::ProgressCallback callback = [&](int32_t tag, int32_t status, int64_t total, int64_t received,
                                      int64_t remaining, float fraction, float speed,
                                      int32_t elapsed, const tw::Text& path) {
    if (status == tw::Started || status == tw::Tick) seen = status;
    inner(tag, status, total, received, remaining, fraction, speed, elapsed, path);
  };
  if (tw::StartDownload(url, target, callback, 9) != 1) return -1;
  std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
  const bool reached =
      needStatus == 0 || tw::testing::WaitFor([&] { return seen.load() == needStatus; },
                                              std::chrono::seconds(4), "the phase's report");
  bool endedEarly;
  {
    std::lock_guard guard(ended.mutex);
    endedEarly = ended.ended;
  }
  auto stopAt = Clock::now();
  tw::StopDownload(9, true, 10000);
  bool gotEnded = ended.Wait(std::chrono::seconds(30));
  // A stopped download leaves its part file and the record beside it.
  for (const char* suffix : {"", ".part", ".part.resume"}) unlink((target + suffix).c_str());
  if (!gotEnded || !reached || endedEarly) return -1;
  return std::chrono::duration<double, std::milli>(ended.at - stopAt).count();
}

void StopLatencies() {
  const std::string target = "/dev/shm/tw_download_stop.iso";
  const int kRounds = 5;
  std::printf("Stop latency: StopDownload to the Ended report, %d stops per phase\n\n", kRounds);
  std::printf("| phase | median ms | max ms |\n|---|---:|---:|\n");
  auto phase = [&](const char* name, const std::string& url, int waitMs, int32_t needStatus) {
    std::vector<double> ms;
    for (int i = 0; i < kRounds; ++i) ms.push_back(StopLatencyMs(url, target, waitMs, needStatus));
    std::sort(ms.begin(), ms.end());
    if (ms.front() < 0) {
      std::printf("| %s | failed | failed |\n", name);
    } else {
      std::printf("| %s | %.1f | %.1f |\n", name, ms[ms.size() / 2], ms.back());
    }
  };
  auto local = [](const char* scheme, int port) {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port) + "/x";
  };
  // A resolver that takes 5 s to answer.
  tw::testing::SetSlowLookupLimit(std::chrono::seconds(5));
  phase("name lookup (5 s resolver)", std::string("http://") + tw::testing::kSlowLookupHost + "/x",
        300, 0);
  {
    tw::testing::FullBacklogListener backlog;
    phase("connect that never completes", local("http", backlog.port()), 300, 0);
  }
  {
    tw::testing::RawServer silent("", tw::testing::RawServer::AfterAnswer::kHold);
    phase("TLS handshake (no server hello)", local("https", silent.port()), 300, 0);
    phase("waiting for headers", local("http", silent.port()), 300, 0);
  }
  {
    tw::testing::RawServer stalled(
        "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n" + std::string(20000, 'x'),
        tw::testing::RawServer::AfterAnswer::kHold);
    phase("stalled body", local("http", stalled.port()), 0, tw::Started);
  }
  {
    // Far more than can arrive before the first Tick, so the stop meets a
    // transfer at full speed, yet small enough for the free-space check of
    // the target's file system to let it start.
    int port = 0;
    pid_t server = ForkBodyServer(int64_t{4} << 30, &port);
    phase("mid-body, full speed", local("http", port), 0, tw::Tick);
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
  }
  std::printf("\n");
}

}  // namespace

// The engine with its SHA-256 and SHA-1 against the engine without, plain
// HTTP into tmpfs, interleaved.
// One pair of digest rows: the engine with and without its digests, on the
// same server, interleaved.
void DigestRows(const char* label, int64_t size, int repeats, int64_t bytesPerSecond) {
  double mib = static_cast<double>(size) / (1 << 20);
  int port = 0;
  pid_t server = ForkBodyServer(size, &port, nullptr, bytesPerSecond);
  std::string url = "http://127.0.0.1:" + std::to_string(port) + "/image.iso";
  const std::string target = "/dev/shm/tw_download_bench.iso";
  EngineRun(url, target, size);  // warm-up
  std::vector<Run> with, without;
  for (int i = 0; i < repeats; ++i) {
    for (bool on : {i % 2 == 0, i % 2 != 0}) {
      tw::SetBodyDigestsEnabled(on);
      (on ? with : without).push_back(EngineRun(url, target, size));
    }
  }
  tw::SetBodyDigestsEnabled(true);
  kill(server, SIGKILL);
  waitpid(server, nullptr, 0);
  Run w = Median(with), o = Median(without);
  std::printf("| %s | %.0f | %.0f | %.0f | %.2f | %.2f / %.2f | %s |\n", label, mib,
              mib / w.seconds, mib / o.seconds, o.seconds / w.seconds, w.cpu, o.cpu,
              w.ok && o.ok ? "yes" : "NO");
  std::fflush(stdout);
}

void DigestThroughput(int64_t size, int repeats) {
  std::printf("Digests: SHA-256 + SHA-1 on and off, http into tmpfs, median of %d runs each\n\n",
              repeats);
  std::printf(
      "| server | MiB | MiB/s with | MiB/s without | with / without | CPU s (with / without) | ok "
      "|\n|---|---:|---:|---:|---:|---:|---|\n");
  DigestRows("full speed", size, repeats, 0);
  // 100 MiB/s: about what a gigabit line delivers, the fastest a user meets.
  DigestRows("100 MiB/s", std::min<int64_t>(size, int64_t{512} << 20), repeats, int64_t{100} << 20);
  std::printf("\n");
}

int main(int argc, char** argv) {
  int64_t mib = argc > 1 ? std::atoll(argv[1]) : 1024;
  int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
  std::string disk = argc > 3 ? argv[3] : "/tmp";
  if (mib < 1 || repeats < 1) {
    std::fprintf(stderr, "usage: download_bench [size-MiB] [repeats] [disk-folder]\n");
    return 2;
  }
  tw::CreateDownloadRegistry();
  if (std::getenv("TW_BENCH_ONLY_WHOLE_JOB") != nullptr) {
    WholeJob(mib << 20, repeats, disk);
    tw::ReleaseDownloadRegistry();
    return 0;
  }
  if (std::getenv("TW_BENCH_ONLY_DIGESTS") != nullptr) {
    DigestThroughput(mib << 20, repeats);
    tw::ReleaseDownloadRegistry();
    return 0;
  }
  // The network layer alone against curl, which computes no checksums.
  const bool noDigests = std::getenv("TW_BENCH_NO_DIGESTS") != nullptr;
  if (noDigests) std::printf("(TW_BENCH_NO_DIGESTS: the engine computes no digests below)\n\n");
  tw::SetBodyDigestsEnabled(!noDigests);
  Throughput(mib << 20, repeats, disk);
  tw::SetBodyDigestsEnabled(true);
  if (!noDigests) WholeJob(mib << 20, repeats, disk);
  DigestThroughput(mib << 20, repeats);
  StopLatencies();
  tw::ReleaseDownloadRegistry();
  return 0;
}
