// The file name the user types and the path a download writes to. The
// confirmation box shows the very path the download then opens, so both take
// it from here.
#pragma once

#include <string_view>

#include "text/text.h"

namespace tw {

class RegexObject;

// The file-name characters that are replaced by "_".
inline constexpr char kIllegalNamePattern[] = R"(\\|\||\/|\*|\?|\<|\>|\:|\")";

// The typed name made fit to be a file name on any system the image may be
// saved to, in this order: `regex` replaces the illegal characters by "_";
// blanks go from both ends; control characters become "_"; dots and blanks
// (the ASCII and the full-width one) go from the end, where Windows would drop
// them unasked; a device name of Windows (CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9, in any case, alone or before a dot) gets "_" in front, so that it
// names a file. Empty when nothing is left.
Text CleanFileName(RegexObject& regex, const Text& typed);

// folder + separator + name + ".iso", each doubled separator then made single
// once, left to right (text/path_separator.h: a backslash on Windows, "/"
// elsewhere). A network path's leading "\\" is its prefix and stays.
Text DownloadTargetPath(const Text& folder, const Text& fileName);

// True when `folder` ends in the separator as a character of its own, not as
// the second byte of a two-byte character.
bool EndsWithSeparator(std::string_view folder);

}  // namespace tw
