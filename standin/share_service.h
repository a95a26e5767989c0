// The pages and answers of the local share-service stand-in, registered on an
// httplib server. The same routes serve the plain and the TLS side.
#pragma once

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace tw {

struct StandinOptions {
  int port = 0;                    // public port; 0 picks a free one
  std::uint64_t size = 1 << 20;    // bytes of every served file
  std::uint64_t throttle = 0;      // file bytes per second; 0 = as fast as possible
  std::int64_t dropAfter = -1;     // close a file response after this many of its bytes
  int dropTimes = -1;              // only the first this many file responses drop; -1: all
  std::int64_t dropAt = -1;        // every file response closes at this byte of the file
  std::int64_t silentAfter = -1;   // the first file response goes silent after this many bytes
  bool expiringLinks = false;      // each direct URL serves one file response, then answers 410
  bool noRanges = false;           // Range is ignored: every file response is a 200 of all of it
  bool changingEtag = false;       // every file response names another version of the file
  bool noLength = false;           // file sent chunked, without Content-Length
  bool notFound = false;           // file request answered 404
  bool noMarker = false;           // share page without the shareId element
  bool badJson = false;            // verify answer is an HTML error page
  bool tlsLinks = false;           // long download URL and direct URL use https
  std::uint64_t shareDelayMs = 0;  // share pages answer after this long (a slow service)
};

inline constexpr std::uint64_t kBigSize = 5'368'709'120ull + 123;  // 5 GiB + 123

// The share id the page of `code` carries: a 15-digit number derived from it.
std::string StandinShareId(const std::string& code);

// `stopping` makes long file transfers end early so the process can exit.
// `publicPort` names this service in links when a request has no Host header.
void RegisterShareService(httplib::Server& server, const StandinOptions& options,
                          const std::atomic<bool>& stopping, int publicPort);

}  // namespace tw
