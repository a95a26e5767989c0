// Runs a program of the build as a child process, for end-to-end tests.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tw::testing {

class ChildProcess {
 public:
  struct Options {
    std::vector<std::string> args;
    std::map<std::string, std::string> env;  // added to (or replacing in) the test's environment
    std::string workingDirectory;
    bool captureStdout = false;
  };

  ChildProcess(const std::string& program, Options options);
  ~ChildProcess();  // kills the child if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of the child's standard output, or nullopt at the end or
  // after `timeout`.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);

  // The exit code (128 + signal when killed by one), or nullopt when the child
  // still runs after `timeout`.
  std::optional<int> Wait(std::chrono::milliseconds timeout);

  void Kill(int signal);

  // Everything the child wrote to standard error so far (only after Wait).
  const std::string& StandardError() const { return stderr_; }

 private:
  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  int stderrFd_ = -1;
  std::string stdoutBuffer_;
  std::string stderr_;
  std::optional<int> exitCode_;
};

}  // namespace tw::testing
