#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "tests/support/child_process.h"

extern char** environ;

namespace tw::testing {

namespace {

void DrainInto(int fd, std::string& out) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, Options options) {
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  if (options.captureStdout && pipe(out) != 0) return;
  if (pipe(err) != 0) return;

  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq != nullptr) env[std::string(*e, static_cast<std::size_t>(eq - *e))] = eq + 1;
  }
  for (const auto& [k, v] : options.env) env[k] = v;
  std::vector<std::string> envStrings;
  for (const auto& [k, v] : env) envStrings.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (std::string& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), options.args.begin(), options.args.end());
  std::vector<char*> argv;
  for (std::string& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  pid_ = fork();
  if (pid_ == 0) {
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0)
      _exit(126);
    if (options.captureStdout) dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  if (options.captureStdout) {
    close(out[1]);
    stdoutFd_ = out[0];
  }
  close(err[1]);
  stderrFd_ = err[0];
  fcntl(stderrFd_, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !exitCode_) {
    Kill(SIGKILL);
    Wait(std::chrono::seconds(10));
  }
  if (stdoutFd_ >= 0) close(stdoutFd_);
  if (stderrFd_ >= 0) close(stderrFd_);
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const std::size_t end = stdoutBuffer_.find('\n');
    if (end != std::string::npos) {
      std::string line = stdoutBuffer_.substr(0, end);
      stdoutBuffer_.erase(0, end + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (stdoutFd_ < 0 || left.count() <= 0) return std::nullopt;
    pollfd p{stdoutFd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[1024];
    const ssize_t n = read(stdoutFd_, buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    stdoutBuffer_.append(buffer, static_cast<std::size_t>(n));
  }
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (exitCode_ || pid_ <= 0) return exitCode_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    DrainInto(stderrFd_, stderr_);
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      DrainInto(stderrFd_, stderr_);
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return exitCode_;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void ChildProcess::Kill(int signal) {
  if (pid_ > 0 && !exitCode_) kill(pid_, signal);
}

}  // namespace tw::testing
