// The record of what the program did: one UTF-8 line per event, kept in memory
// for the script's waits and appended to the record file as it happens.
// Not locked: the engine calls it under its own lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw::scripted {

// A text as it appears inside a record line: backslash, tab, newline and
// carriage return written as \\ \t \n \r, so a line never splits.
std::string EscapeText(std::u16string_view text);
std::string EscapeText(std::string_view utf8);

class Recorder {
 public:
  Recorder() = default;
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Starts a new record; an empty path keeps it in memory only. Lines go to the
  // end of an existing file.
  void Open(const std::string& path);
  void Add(std::string line);

  const std::vector<std::string>& lines() const { return lines_; }

 private:
  intptr_t file_ = -1;
  std::vector<std::string> lines_;
};

}  // namespace tw::scripted
