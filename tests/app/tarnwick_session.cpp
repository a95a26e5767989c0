#include "tarnwick_session.h"

#include <unistd.h>

#include <csignal>
#include <fstream>
#include <random>
#include <sstream>

namespace tw::testing {

namespace fs = std::filesystem;

fs::path MakeTempDir(const std::string& tag) {
  std::random_device random;
  const fs::path dir = fs::temp_directory_path() / ("tw_" + tag + "_" + std::to_string(getpid()) +
                                                    "_" + std::to_string(random()));
  fs::create_directories(dir);
  return dir;
}

Standin::Standin(std::vector<std::string> args) {
  args.insert(args.begin(), {"--port", "0"});
  process_ = std::make_unique<ChildProcess>(
      SHARE_STANDIN_PATH, ChildProcess::Options{args, {}, {}, /*captureStdout=*/true});
  for (int i = 0; i < 5 && port_ == 0; ++i) {
    const std::optional<std::string> line = process_->ReadLine(std::chrono::seconds(10));
    if (!line) break;
    if (line->rfind("PORT ", 0) == 0) port_ = std::stoi(line->substr(5));
  }
}

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

Session::Session() : dir_(MakeTempDir("session")) {
  fs::create_directories(documents());
  fs::create_symlink(SCRIPTED_ENGINE_PATH, dir_ / "libUiEngine.so");
}

Session::~Session() {
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

int Session::Run(const std::string& script) {
  std::ofstream(dir_ / "script.txt") << script;
  ChildProcess::Options options;
  options.workingDirectory = dir_.string();
  options.env["TW_UI_SCRIPT"] = (dir_ / "script.txt").string();
  options.env["TW_UI_RECORD"] = (dir_ / "record.txt").string();
  options.env["TW_UI_DEADLINE_MS"] = "45000";
  if (useDocuments_) options.env["TW_UI_DOCUMENTS"] = documents().string();
  if (!shareHost_.empty()) options.env["TARNWICK_SHARE_HOST"] = shareHost_;
  ChildProcess program(TARNWICK_PATH, options);
  std::optional<int> code = program.Wait(std::chrono::seconds(60));
  stderr_ = program.StandardError();
  return code.value_or(-1);
}

Record Session::record() const {
  std::ifstream in(dir_ / "record.txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return Record(std::move(lines));
}

}  // namespace tw::testing
