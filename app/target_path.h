// The path a download writes to. The confirmation box shows the very path the
// download then opens, so both take it from here.
#pragma once

#include <string_view>

#include "text/text.h"

namespace tw {

// folder + separator + name + ".iso", each doubled separator then made single
// once, left to right (text/path_separator.h: a backslash on Windows, "/"
// elsewhere). A network path's leading "\\" is its prefix and stays.
Text DownloadTargetPath(const Text& folder, const Text& fileName);

// True when `folder` ends in the separator as a character of its own, not as
// the second byte of a two-byte character.
bool EndsWithSeparator(std::string_view folder);

}  // namespace tw
