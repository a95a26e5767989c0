// The share-service stand-in as a child process of the test, for the tests
// that need the whole service (share page, verify answer, file links).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace tw::testing {

// Started on a free port of 127.0.0.1 with `args`; it serves for as long as
// this object lives, or until Stop.
class Standin {
 public:
  explicit Standin(std::vector<std::string> args = {});
  ~Standin();
  Standin(const Standin&) = delete;
  Standin& operator=(const Standin&) = delete;

  // 0 when it never reported a port.
  int port() const { return port_; }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  // The PEM file of its certificate, for TARNWICK_CA_FILE.
  std::string CaFile() const { return folder_.File("standin.pem"); }

  // Ends it the way a service manager would (SIGTERM) and returns its exit
  // code; -1 when it did not end in time.
  int Stop();

 private:
  TempFolder folder_{"standin"};
  std::unique_ptr<ChildProcess> process_;
  int port_ = 0;
};

}  // namespace tw::testing
