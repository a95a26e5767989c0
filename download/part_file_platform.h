// What the part file needs from the platform: its file names, the extended
// attribute that holds its record where the file system has one, small files
// written without following links, and a rename that replaces the file under
// the final name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "text/text.h"

namespace tw::part_file_platform {

// The GBK path as the file system names it: UTF-8 on POSIX systems; UTF-16 on
// Windows, in the extended-length form once it is long (extended_length_path.h).
std::filesystem::path NativePath(const Text& path);

// Whether `path` names anything, and the size of the regular file it names
// (nullopt when it names none, or names a link: links are not followed). Asked of the system
// itself: on Windows, std::filesystem asks the C runtime's stat, which refuses the "?" of the
// extended-length form.
bool Exists(const std::filesystem::path& path);
std::optional<int64_t> RegularFileSize(const std::filesystem::path& file);
// Removes the file, if there is one.
void RemoveFile(const std::filesystem::path& file);
// Bytes free to this user on the file system of an existing folder; nullopt
// when it cannot be told. (On Windows std::filesystem::space fails for
// network and extended-length paths.)
std::optional<int64_t> AvailableBytes(const std::filesystem::path& folder);

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
