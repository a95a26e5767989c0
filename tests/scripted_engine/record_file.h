// The record file as the platform opens it: appended to with one write per
// line, so that a reader polling it from another process only ever sees whole
// lines, and a program that dies a moment later has lost none.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::scripted {

// -1 when the file cannot be opened; the record then stays in memory only.
intptr_t OpenRecordFile(const std::string& utf8Path);
void AppendRecordFile(intptr_t file, std::string_view bytes);
void CloseRecordFile(intptr_t file);

}  // namespace tw::scripted
