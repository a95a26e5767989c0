// One run of the real program with the scripted UI engine, and what it recorded.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/standin.h"
#include "tests/support/temp_folder.h"

namespace tw::testing {

struct Control {
  int id = 0;
  std::string kind;
  int parent = 0;
};

// The record the scripted engine wrote, with the program's controls named.
class Record {
 public:
  explicit Record(std::vector<std::string> lines);

  const std::vector<std::string>& lines() const { return lines_; }
  // Lines that start with `prefix`.
  std::vector<std::string> Starting(const std::string& prefix) const;
  // Index of the first line at or after `from` that starts with `prefix`; -1 if none.
  int Find(const std::string& prefix, int from = 0) const;

  // Controls of the main window, by the order the program creates them.
  int Frame() const;
  int List() const;
  int Toolbar() const;
  int CaptionOf(const std::string& text) const;  // label whose first text is `text`
  int FaceOf(const std::string& captionText) const;
  int ByKind(const std::string& kind, int nth = 0) const;

  // The last value recorded for a control by lines "<what> <id> <value>".
  std::optional<std::string> Last(const std::string& what, int id) const;

 private:
  std::vector<std::string> lines_;
  std::vector<Control> controls_;
};

class Session {
 public:
  Session();

  std::filesystem::path dir() const { return folder_.dir(); }
  std::filesystem::path documents() const { return dir() / "documents"; }
  // A path of this machine as the program sees it: the same path for the
  // native program, its Wine drive form (Z:\...) for the Windows one.
  static std::string ProgramPath(const std::filesystem::path& path);
  // The separator the program puts between a folder and a name.
  static const char* const kSeparator;
  // The stand-in's address as the program reaches it, under its certificate's names.
  static std::string ProgramHost(const Standin& standin);

  void UseDocuments(bool on) { useDocuments_ = on; }
  void ShareHost(const std::string& host) { shareHost_ = host; }
  // The program's share host is the stand-in's, whose certificate it trusts.
  void UseStandin(const Standin& standin);

  // Runs the program with `script` until it exits; returns its exit code.
  int Run(const std::string& script);
  Record record() const;
  const std::string& StandardError() const { return stderr_; }

 private:
  TempFolder folder_;
  bool useDocuments_ = true;
  std::string shareHost_;
  std::string caFile_;
  std::string stderr_;
};

}  // namespace tw::testing
