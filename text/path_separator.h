// The separator between a folder and a name in the paths the program builds
// from the save folder: the system's own. A folder that already ends in one
// (a drive root "D:\", the root "/") gives it doubled, which the download's
// real path collapses once.
#pragma once

namespace tw {

#if defined(_WIN32)
inline constexpr char kPathSeparator[] = "\\";
inline constexpr char kDoubledPathSeparator[] = "\\\\";
// A network path (\\server\share\...) starts with two separators that are one
// prefix, not a doubled separator.
inline constexpr char kNetworkPathPrefix[] = "\\\\";
#else
inline constexpr char kPathSeparator[] = "/";
inline constexpr char kDoubledPathSeparator[] = "//";
// A leading "//" means no more than "/" here.
inline constexpr char kNetworkPathPrefix[] = "";
#endif

}  // namespace tw
