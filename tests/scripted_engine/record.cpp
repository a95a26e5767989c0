#include "tests/scripted_engine/record.h"

#include "tests/scripted_engine/record_file.h"
#include "tests/scripted_engine/utf16.h"

namespace tw::scripted {

std::string EscapeText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string EscapeText(std::u16string_view text) { return EscapeText(Utf16ToUtf8(text)); }

Recorder::~Recorder() {
  if (file_ >= 0) CloseRecordFile(file_);
}

void Recorder::Open(const std::string& path) {
  if (file_ >= 0) CloseRecordFile(file_);
  file_ = -1;
  lines_.clear();
  if (!path.empty()) file_ = OpenRecordFile(path);
}

void Recorder::Add(std::string line) {
  if (file_ >= 0) {
    // One write per line, straight to the file: a reader polling the file, or
    // a program that dies a moment later, still sees every whole line.
    AppendRecordFile(file_, line + '\n');
  }
  lines_.push_back(std::move(line));
}

}  // namespace tw::scripted
