#include "tests/app/desktop_session.h"

#include <signal.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <thread>

#include "tests/app/tarnwick_session.h"

namespace tw::testing {
namespace fs = std::filesystem;

namespace {

// A tool of the desktop by name, as the shell would find it.
std::string Tool(const std::string& name) {
  const char* path = std::getenv("PATH");  // NOLINT(concurrency-mt-unsafe)
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const fs::path candidate = fs::path(folder) / name;
    if (fs::exists(candidate)) return candidate.string();
  }
  return name;
}

// What a tool printed, line by line; empty when it did not finish in 10 s.
std::vector<std::string> Run(const std::string& tool, std::vector<std::string> args) {
  ChildProcess child(Tool(tool), ChildProcess::Options{std::move(args), {}, {}, true});
  std::vector<std::string> lines;
  while (std::optional<std::string> line = child.ReadLine(std::chrono::seconds(10))) {
    lines.push_back(*line);
  }
  if (!child.Wait(std::chrono::seconds(10))) return {};
  return lines;
}

bool Viewable(const std::string& id) {
  for (const std::string& line : Run("xwininfo", {"-id", id})) {
    if (line.find("Map State: IsViewable") != std::string::npos) return true;
  }
  return false;
}

}  // namespace

#if defined(TW_WINE_PATH)
// The Windows program from a copy beside the real Win32 engine; the prefix's
// documents folder is the program's, shared with the other Wine tests.
DesktopSession::DesktopSession() : folder_("desktop") {
  fs::copy_file(TARNWICK_PATH, folder_.dir() / "tarnwick.exe");
  fs::copy_file(WIN32_ENGINE_PATH, folder_.dir() / "UiEngine.dll");
}

void DesktopSession::Start(const Standin& standin) {
  ChildProcess::Options options;
  options.args = {(folder_.dir() / "tarnwick.exe").string()};
  options.workingDirectory = folder_.path();
  options.env = {{"TARNWICK_SHARE_HOST", Session::ProgramHost(standin)},
                 {"TARNWICK_CA_FILE", Session::ProgramPath(standin.CaFile())},
                 {"WINEDEBUG", "-all"}};
  program_ = std::make_unique<ChildProcess>(TW_WINE_PATH, std::move(options));
}

fs::path DesktopSession::DownloadedFile(const std::string& name) const {
  const char* prefix = std::getenv("WINEPREFIX");  // NOLINT(concurrency-mt-unsafe)
  const fs::path users = fs::path(prefix != nullptr ? prefix : "") / "drive_c" / "users";
  std::error_code error;
  for (const fs::directory_entry& user : fs::directory_iterator(users, error)) {
    const fs::path file = user.path() / "Documents" / "下载的系统镜像" / (name + ".iso");
    if (fs::exists(file)) return file;
  }
  return users / "?" / "Documents" / "下载的系统镜像" / (name + ".iso");
}
#else
// The native program finds the Qt engine through its run path; its home is
// the session folder, so the documents folder is the session's own.
DesktopSession::DesktopSession() : folder_("desktop") {}

void DesktopSession::Start(const Standin& standin) {
  ChildProcess::Options options;
  options.workingDirectory = folder_.path();
  options.env = {{"TARNWICK_SHARE_HOST", Session::ProgramHost(standin)},
                 {"TARNWICK_CA_FILE", standin.CaFile()},
                 {"HOME", folder_.path()},
                 {"XDG_CONFIG_HOME", (folder_.dir() / "config").string()},
                 {"XDG_RUNTIME_DIR", folder_.path()},
                 {"QT_QPA_PLATFORM", "xcb"}};
  program_ = std::make_unique<ChildProcess>(TARNWICK_PATH, std::move(options));
}

fs::path DesktopSession::DownloadedFile(const std::string& name) const {
  return folder_.dir() / "Documents" / "下载的系统镜像" / (name + ".iso");
}
#endif

DesktopSession::~DesktopSession() { Stop(); }

int DesktopSession::Stop() {
  if (!program_) return -1;
  program_->Kill(SIGTERM);
  const std::optional<int> code = program_->Wait(std::chrono::seconds(10));
  stderr_ = program_->StandardError();
  program_.reset();  // one that ignored SIGTERM is killed here
  return code.value_or(-1);
}

::testing::AssertionResult DesktopSession::WaitForWindow(const std::string& title,
                                                         std::chrono::milliseconds limit,
                                                         bool shown) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const std::string named = "\"" + title + "\": (";
  const auto showing = [&] {
    for (const std::string& line : Run("xwininfo", {"-root", "-tree"})) {
      if (line.find(named) == std::string::npos) continue;
      std::istringstream fields(line);
      std::string id;
      fields >> id;
      if (Viewable(id)) return true;
    }
    return false;
  };
  while (showing() != shown) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return ::testing::AssertionFailure()
             << "gave up after " << limit.count() << " ms waiting for a window titled " << title
             << (shown ? " to show" : " to close");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return ::testing::AssertionSuccess();
}

void DesktopSession::Keys(const std::vector<std::string>& keys) {
  std::vector<std::string> args = {"key", "--delay", "150"};
  args.insert(args.end(), keys.begin(), keys.end());
  Run("xdotool", std::move(args));
}

void DesktopSession::Type(const std::string& text) {
  Run("xdotool", {"type", "--delay", "50", text});
}

}  // namespace tw::testing
