// Finds the UI engine library and binds its exports by name.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui_engine/engine_exports.h"
#include "ui_engine/engine_library.h"

namespace tw::ui {

// Where the library is looked for, in order. The location files hold the
// library's path in their first 255 bytes.
struct EngineSearch {
  std::string currentDirectory;  // empty: the process's working directory
  std::vector<std::string> locationFiles = DefaultLocationFiles();
};

// The places tried, in order: the first success wins. A candidate of the form
// "@file" stands for "the path written in file". The same places on every
// system, each written with the system's separator and file name.
std::vector<std::string> EngineCandidates(const EngineSearch& search);

// Reads a location file: its first 255 bytes, without a trailing line end.
// Empty when the file cannot be opened.
std::string ReadLocationFile(const std::string& path);

// Opens the first candidate that `open` accepts (returns a non-null handle).
// `tried` receives every place tried, in order.
void* OpenEngine(const EngineSearch& search, const std::function<void*(const std::string&)>& open,
                 std::vector<std::string>* tried);

struct LoadResult {
  bool ok = false;
  std::string message;  // what went wrong, naming the places tried or the missing export
};

// Opens the library, binds every export into `exports` and calls
// EngineStartup.
LoadResult LoadEngine(const EngineSearch& search, EngineExports* exports);

}  // namespace tw::ui
