#include <fcntl.h>
#include <unistd.h>

#include "tests/scripted_engine/record_file.h"

namespace tw::scripted {

intptr_t OpenRecordFile(const std::string& utf8Path) {
  return open(utf8Path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

void AppendRecordFile(intptr_t file, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(static_cast<int>(file), bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

void CloseRecordFile(intptr_t file) { close(static_cast<int>(file)); }

}  // namespace tw::scripted
