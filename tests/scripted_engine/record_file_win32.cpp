#include <windows.h>

#include "tests/scripted_engine/record_file.h"
#include "tests/scripted_engine/utf16.h"

namespace tw::scripted {

intptr_t OpenRecordFile(const std::string& utf8Path) {
  const std::u16string wide = Utf8ToUtf16(utf8Path);
  const std::wstring path(wide.begin(), wide.end());
  // Append-only access makes every write land at the current end, as
  // O_APPEND does; the test reads the file while the program still runs.
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(file);
}

void AppendRecordFile(intptr_t file, std::string_view bytes) {
  HANDLE handle = reinterpret_cast<HANDLE>(file);
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(bytes.size() - done);
    if (!WriteFile(handle, bytes.data() + done, chunk, &n, nullptr) || n == 0) break;
    done += n;
  }
}

void CloseRecordFile(intptr_t file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

}  // namespace tw::scripted
