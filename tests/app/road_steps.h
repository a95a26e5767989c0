// What the end-to-end tests of the download road share: the script steps that
// start and finish a download, and the checks on what it left behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "standin/content.h"
#include "tests/app/tarnwick_session.h"
#include "tests/support/files.h"
#include "tests/support/standin.h"
#include "tests/support/temp_folder.h"

namespace tw::testing {

inline const std::string kStart = "wait ^selected\n";
// The folder button's caption is the last control the busy state enables
// again; a click sent before that would reach a disabled button.
inline const std::string kIdleAgain = "wait-enabled text=选择保存位置 10000\n";

// Types `name`, answers the confirmation with `confirm` and presses "选定下载".
inline std::string Download(const std::string& name, int confirm = 0) {
  return "answer-input " + name + "\nanswer-box " + std::to_string(confirm) +
         "\nclick text=选定下载\n";
}

inline std::vector<std::string> BoxesTitled(const Record& r, const std::string& title) {
  return r.Starting("msgbox " + title + "\t");
}

// A text as the record writes it: backslashes doubled.
inline std::string Recorded(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}

// `name` in `folder` as the program's boxes show it, in the record's form.
inline std::string ShownPath(const std::filesystem::path& folder, const std::string& name) {
  return Recorded(Session::ProgramPath(folder) + Session::kSeparator + name);
}

// The file holds exactly the stand-in's first `size` bytes.
inline ::testing::AssertionResult HoldsServedBytes(const std::filesystem::path& path,
                                                   std::size_t size) {
  const std::string bytes = ReadFile(path);
  if (bytes.size() != size) {
    return ::testing::AssertionFailure()
           << path << " holds " << bytes.size() << " bytes, not " << size;
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (static_cast<uint8_t>(bytes[i]) != StandinByte(i)) {
      return ::testing::AssertionFailure() << "byte " << i << " differs";
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace tw::testing
