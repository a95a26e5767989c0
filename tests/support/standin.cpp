#include "tests/support/standin.h"

#include <signal.h>

#include <chrono>

namespace tw::testing {

Standin::Standin(std::vector<std::string> args) {
  args.insert(args.begin(), {"--port", "0", "--ca-out", CaFile()});
  process_ = std::make_unique<ChildProcess>(
      TW_SHARE_STANDIN, ChildProcess::Options{args, {}, {}, /*captureStdout=*/true});
  // The port line comes first; a few lines of grace in case a warning of the
  // TLS library comes before it.
  for (int i = 0; i < 5 && port_ == 0; ++i) {
    const std::optional<std::string> line = process_->ReadLine(std::chrono::seconds(30));
    if (!line) break;
    if (line->starts_with("PORT ")) port_ = std::stoi(line->substr(5));
  }
}

Standin::~Standin() { Stop(); }

int Standin::Stop() {
  if (!process_) return -1;
  process_->Kill(SIGTERM);
  const std::optional<int> code = process_->Wait(std::chrono::seconds(10));
  process_.reset();  // one that ignored SIGTERM is killed here
  return code.value_or(-1);
}

}  // namespace tw::testing
