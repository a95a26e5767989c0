// The system's side of finding and binding the UI engine library: its file
// name and default location files, and opening it and looking up its exports
// (engine_library_posix.cpp with dlopen, engine_library_win32.cpp with
// LoadLibraryW). Paths are the program's texts: GBK on Windows, the file
// system's bytes (UTF-8) on POSIX systems.
#pragma once

#include <string>
#include <vector>

namespace tw::ui {

#if defined(_WIN32)
inline constexpr char kEngineFileName[] = "UiEngine.dll";
inline constexpr char kEnginePathSeparator = '\\';
#else
inline constexpr char kEngineFileName[] = "libUiEngine.so";
inline constexpr char kEnginePathSeparator = '/';
#endif

// The location files read when the library is found nowhere else, in order.
std::vector<std::string> DefaultLocationFiles();

// The process's working directory; empty when it cannot be read.
std::string WorkingDirectory();

// Null when the library cannot be loaded. A bare file name goes through the
// system's own library search.
void* OpenEngineLibrary(const std::string& path);
void* FindEngineExport(void* library, const char* name);

// Tells the user that the program cannot start: on the error stream on POSIX
// systems, in a message box on Windows, as a desktop program does.
void ReportEngineFailure(const std::string& message);

}  // namespace tw::ui
