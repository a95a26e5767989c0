// A loopback file server that misbehaves on purpose, for soaks of the
// download engine: it serves numbered files under "/f/<n>", each with
// versions (a replaced file is served as its next version, with its own ETag),
// answers ranges with ETag and If-Range, and on each connection commits the
// fault its seeded lot names (chaos_faults.h). Every connection runs on a
// thread of its own, so stalls and trickles hold up only their own download.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/chaos_faults.h"

namespace tw::testing {

// Byte `offset` of version `version` of every served file: a pure function, so
// a download is checked without a copy, and versions differ almost everywhere.
uint8_t ChaosByte(int version, int64_t offset);
std::string ChaosBytes(int version, int64_t from, int64_t count);
std::string ChaosEtag(int version);

struct ChaosServerOptions {
  uint64_t seed = 1;
  int64_t fileSize = int64_t{2} << 20;
  FaultWeights weights = DefaultFaultWeights();
  // The faults' own durations; a soak scales them with the engine's limits.
  int32_t stallMs = 40000;
  std::array<int32_t, 3> trickleIntervalsMs = {2000, 5000, 10000};
  int32_t shortRetryAfterS = 1;
  int32_t longRetryAfterS = 120;
  // A trickle or an endless body ends by itself after this, if its client
  // never does.
  int32_t endlessLimitMs = 600000;
};

// What the server did on one connection.
struct ChaosConnection {
  ChaosLot lot;
  std::chrono::steady_clock::time_point start;
  int64_t askedFrom = -1;  // the Range's first byte; -1 without one
  int version = 0;         // the file's version it was answered from
};

class ChaosServer {
 public:
  explicit ChaosServer(ChaosServerOptions options);
  ~ChaosServer();
  ChaosServer(const ChaosServer&) = delete;
  ChaosServer& operator=(const ChaosServer&) = delete;

  const ChaosServerOptions& options() const { return options_; }
  std::string Url(int file) const;
  int Version(int file);
  std::vector<ChaosConnection> Connections(int file);

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  struct FileState {
    int version = 0;
    std::vector<ChaosConnection> connections;
  };
  // The request as far as the server reads it.
  struct Asked {
    int file = -1;  // -1: not a file of this server
    bool ranged = false;
    int64_t from = 0;
    std::string ifRange;
  };
  static Asked Parse(const std::string& head);

  void Accept();
  void Serve(int socket);
  // True when the answer ended the connection itself (with a reset).
  bool Answer(int socket, const Asked& asked, const ChaosLot& lot, int version);
  // `from`: where the honest answer, whose `head` the trickle sends, starts.
  void AnswerTrickle(int socket, const std::string& head, int64_t from, uint64_t detail,
                     int version);
  void AnswerEndlessChunked(int socket, int64_t from, uint64_t detail, int version);
  void AnswerEndlessRedirect(int socket, int file);
  // When a trickle or an endless body that started now gives up by itself.
  std::chrono::steady_clock::time_point EndlessDeadline() const;
  // Sends bytes [from, to) of `version` in pieces, as chunks of the chunked
  // coding if asked; gives the offset reached, short of `to` once the peer
  // has gone or the server stops.
  int64_t SendFileBytes(int socket, int version, int64_t from, int64_t to, bool chunked = false);
  // Waits `ms`; false when the peer has gone or the server stops meanwhile.
  bool Idle(int socket, int32_t ms);

  ChaosServerOptions options_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::map<int, FileState> files_;              // guarded by mutex_
  std::list<std::unique_ptr<Worker>> workers_;  // the accepting thread's alone
  std::thread acceptor_;
};

}  // namespace tw::testing
