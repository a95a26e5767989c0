#include "ui_engine/engine_loader.h"

#include <filesystem>
#include <fstream>

#include "text/convert.h"

namespace tw::ui {

namespace {

#if defined(_WIN32)
// The file names are GBK texts; the streams take the system's wide form.
std::ifstream OpenLocationFile(const std::string& path) {
  const std::u16string utf16 = GbkToUtf16(path);
  return std::ifstream(std::filesystem::path(std::wstring(utf16.begin(), utf16.end())),
                       std::ios::binary);
}
#else
std::ifstream OpenLocationFile(const std::string& path) {
  return std::ifstream(path, std::ios::binary);
}
#endif

std::string JoinTried(const std::vector<std::string>& tried) {
  std::string out;
  for (const std::string& place : tried) out += "\n  " + place;
  return out;
}

}  // namespace

std::vector<std::string> EngineCandidates(const EngineSearch& search) {
  const std::string cwd =
      search.currentDirectory.empty() ? WorkingDirectory() : search.currentDirectory;
  const std::string sep(1, kEnginePathSeparator);
  const std::string below = "lib" + sep + "UiEngine" + sep + kEngineFileName;
  std::vector<std::string> candidates{
      cwd + sep + kEngineFileName,
      cwd + sep + below,
      kEngineFileName,
      below,
  };
  // The second location file is read only when the first cannot be opened.
  for (const std::string& file : search.locationFiles) {
    if (OpenLocationFile(file).is_open()) {
      candidates.push_back("@" + file);
      break;
    }
  }
  return candidates;
}

std::string ReadLocationFile(const std::string& path) {
  std::ifstream in = OpenLocationFile(path);
  if (!in) return {};
  char buffer[255];
  in.read(buffer, sizeof buffer);
  std::string text(buffer, static_cast<std::size_t>(in.gcount()));
  // Only the first line names the library.
  const std::size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  return text;
}

void* OpenEngine(const EngineSearch& search, const std::function<void*(const std::string&)>& open,
                 std::vector<std::string>* tried) {
  for (const std::string& candidate : EngineCandidates(search)) {
    std::string path = candidate;
    if (candidate.front() == '@') {
      path = ReadLocationFile(candidate.substr(1));
      if (tried != nullptr) tried->push_back(path + " (named in " + candidate.substr(1) + ")");
      if (path.empty()) continue;
    } else if (tried != nullptr) {
      tried->push_back(path);
    }
    if (void* handle = open(path)) return handle;
  }
  if (tried != nullptr && !search.locationFiles.empty() &&
      tried->back().find("(named in ") == std::string::npos) {
    std::string files;
    for (const std::string& file : search.locationFiles)
      files += (files.empty() ? "" : ", ") + file;
    tried->push_back("location file " + files + " (none could be opened)");
  }
  return nullptr;
}

LoadResult LoadEngine(const EngineSearch& search, EngineExports* exports) {
  std::vector<std::string> tried;
  void* library = OpenEngine(search, &OpenEngineLibrary, &tried);
  if (library == nullptr) {
    return {false, std::string("the UI engine library ") + kEngineFileName +
                       " was not found; places tried:" + JoinTried(tried) +
                       (search.locationFiles.empty()
                            ? std::string()
                            : "\n(put its path in " + search.locationFiles.front() +
                                  " to use another place)")};
  }
#define TW_ENGINE_BIND(name)                                                             \
  exports->name = reinterpret_cast<decltype(&::name)>(FindEngineExport(library, #name)); \
  if (exports->name == nullptr) {                                                        \
    return {false, std::string("the UI engine library lacks the export " #name)};        \
  }
  TW_ENGINE_EXPORTS(TW_ENGINE_BIND)
#undef TW_ENGINE_BIND
  if (exports->EngineStartup(library) == 0) {
    return {false, "the UI engine could not start (is a display available?)"};
  }
  return {true, {}};
}

}  // namespace tw::ui
