#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

#include "ui_engine/engine_library.h"

namespace tw::ui {

std::vector<std::string> DefaultLocationFiles() {
  return {"/etc/UiEngine.ini", "/usr/local/etc/UiEngine.ini"};
}

std::string WorkingDirectory() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

void* OpenEngineLibrary(const std::string& path) {
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindEngineExport(void* library, const char* name) { return dlsym(library, name); }

void ReportEngineFailure(const std::string& message) {
  std::fprintf(stderr, "tarnwick: %s\n", message.c_str());
}

}  // namespace tw::ui
