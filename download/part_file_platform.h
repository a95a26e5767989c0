// What the part file needs from the platform: its file names, the extended
// attribute that holds its record where the file system has one, small files
// written without following links, and a rename that replaces the file under
// the final name.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "text/text.h"

namespace tw::part_file_platform {

// The GBK path as the file system names it (UTF-8 on POSIX systems, UTF-16 on Windows).
std::filesystem::path NativePath(const Text& path);

// nullopt / false where the file system keeps no such attribute: the record
// then goes to the sidecar file. A link under the name is not followed.
std::optional<std::string> ReadAttribute(const std::filesystem::path& file);
bool WriteAttribute(const std::filesystem::path& file, const std::string& value);
void RemoveAttribute(const std::filesystem::path& file);

// Writes `content` as the whole of the regular file `file`, made when missing;
// a link (or anything but a regular file) under that name is neither followed
// nor written. False, with `error` set, when the content is not all there.
bool WriteSmallFile(const std::filesystem::path& file, const std::string& content,
                    std::string* error);

// Renames `from` to `to`, replacing a file there; false with `error` set.
bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to,
              std::string* error);

}  // namespace tw::part_file_platform
