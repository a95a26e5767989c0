#include "tests/app/tarnwick_session.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>

#include "tests/support/child_process.h"

namespace tw::testing {

namespace fs = std::filesystem;

Record::Record(std::vector<std::string> lines) : lines_(std::move(lines)) {
  for (const std::string& line : lines_) {
    if (line.rfind("control ", 0) != 0) continue;
    std::istringstream in(line.substr(8));
    Control c;
    in >> c.id >> c.kind >> c.parent;
    controls_.push_back(c);
  }
}

std::vector<std::string> Record::Starting(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& line : lines_) {
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  }
  return out;
}

int Record::Find(const std::string& prefix, int from) const {
  for (int i = from; i < static_cast<int>(lines_.size()); ++i) {
    if (lines_[i].rfind(prefix, 0) == 0) return i;
  }
  return -1;
}

int Record::ByKind(const std::string& kind, int nth) const {
  for (const Control& c : controls_) {
    if (c.kind == kind && nth-- == 0) return c.id;
  }
  return 0;
}

int Record::Frame() const { return ByKind("window"); }
int Record::List() const { return ByKind("list"); }
int Record::Toolbar() const { return ByKind("toolbar"); }

int Record::CaptionOf(const std::string& text) const {
  for (const Control& c : controls_) {
    if (c.kind == "label" && Find("text " + std::to_string(c.id) + " " + text) >= 0) return c.id;
  }
  return 0;
}

int Record::FaceOf(const std::string& captionText) const {
  const int caption = CaptionOf(captionText);
  for (const Control& c : controls_) {
    if (c.id == caption) return c.parent;
  }
  return 0;
}

std::optional<std::string> Record::Last(const std::string& what, int id) const {
  const std::string prefix = what + " " + std::to_string(id) + " ";
  std::optional<std::string> last;
  for (const std::string& line : lines_) {
    if (line.rfind(prefix, 0) == 0) last = line.substr(prefix.size());
  }
  return last;
}

// The Windows program runs under Wine from a copy in the session folder, with
// the scripted engine beside it; the native one finds the engine through the
// folder it runs in.
#if defined(TW_WINE_PATH)
Session::Session() : folder_("session") {
  fs::create_directories(documents());
  fs::copy_file(TARNWICK_PATH, dir() / "tarnwick.exe");
  fs::copy_file(SCRIPTED_ENGINE_PATH, dir() / "UiEngine.dll");
}

const char* const Session::kSeparator = "\\";

std::string Session::ProgramPath(const fs::path& path) {
  std::string out = "Z:" + path.string();
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

// Wine's certificate checks do not match an IP address against the names of a
// certificate: the Windows program reaches the stand-in as localhost.
std::string Session::ProgramHost(const Standin& standin) {
  return "localhost:" + std::to_string(standin.port());
}

static ChildProcess StartProgram(const fs::path& dir, ChildProcess::Options options) {
  options.args.insert(options.args.begin(), (dir / "tarnwick.exe").string());
  // Wine's own diagnostics would bury the program's in the captured error output.
  options.env.emplace("WINEDEBUG", "-all");
  return ChildProcess(TW_WINE_PATH, std::move(options));
}
#else
Session::Session() : folder_("session") {
  fs::create_directories(documents());
  fs::create_symlink(SCRIPTED_ENGINE_PATH, dir() / "libUiEngine.so");
}

const char* const Session::kSeparator = "/";

std::string Session::ProgramPath(const fs::path& path) { return path.string(); }

std::string Session::ProgramHost(const Standin& standin) { return standin.Host(); }

static ChildProcess StartProgram(const fs::path&, ChildProcess::Options options) {
  return ChildProcess(TARNWICK_PATH, std::move(options));
}
#endif

void Session::UseStandin(const Standin& standin) {
  shareHost_ = ProgramHost(standin);
  caFile_ = standin.CaFile();
}

int Session::Run(const std::string& script) {
  std::ofstream(dir() / "script.txt") << script;
  ChildProcess::Options options;
  options.workingDirectory = dir().string();
  options.env["TW_UI_SCRIPT"] = ProgramPath(dir() / "script.txt");
  options.env["TW_UI_RECORD"] = ProgramPath(dir() / "record.txt");
  options.env["TW_UI_DEADLINE_MS"] = "45000";
  if (useDocuments_) options.env["TW_UI_DOCUMENTS"] = ProgramPath(documents());
  if (!shareHost_.empty()) options.env["TARNWICK_SHARE_HOST"] = shareHost_;
  if (!caFile_.empty()) options.env["TARNWICK_CA_FILE"] = ProgramPath(caFile_);
  ChildProcess program = StartProgram(dir(), options);
  std::optional<int> code = program.Wait(std::chrono::seconds(60));
  stderr_ = program.StandardError();
  return code.value_or(-1);
}

Record Session::record() const {
  std::ifstream in(dir() / "record.txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return Record(std::move(lines));
}

}  // namespace tw::testing
