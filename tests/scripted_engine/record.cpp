#include "tests/scripted_engine/record.h"

#include <fcntl.h>
#include <unistd.h>

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
  if (fd_ >= 0) close(fd_);
}

void Recorder::Open(const std::string& path) {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  lines_.clear();
  if (!path.empty()) fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

void Recorder::Add(std::string line) {
  if (fd_ >= 0) {
    // One write per line, straight to the file: a reader polling the file, or
    // a program that dies a moment later, still sees every whole line.
    std::string out = line + '\n';
    size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = write(fd_, out.data() + done, out.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
  }
  lines_.push_back(std::move(line));
}

}  // namespace tw::scripted
