// Windows paths beyond the system's classic limit of 260 characters. The limit
// binds every file call unless both the program's manifest and a setting of
// the user's system allow long paths. A path in the extended-length form
// ("\\?\") is exempt, but the system then takes it literally: it must be
// absolute, with backslashes only and no "." or ".." left, so it is made from
// the path as the system itself would have completed it.
//
// Pure text work, shared by both builds so that it is tested everywhere; the
// Windows file calls use it through part_file_platform::NativePath.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tw {

// Paths of this many UTF-16 units or more take the extended-length form: the
// limit less the twelve units a created folder must leave for an 8.3 name,
// so that the folders a download creates are reached too.
inline constexpr std::size_t kExtendedLengthFrom = 260 - 12;

// The extended-length form of `fullPath`, an absolute and normalised path:
// "\\?\" before a drive path ("C:\..."), "\\?\UNC\" in place of a network
// path's leading "\\". A path already in a device form ("\\?\", "\\.\") and a
// path of any other shape come back as they are.
std::u16string ExtendedLengthForm(std::u16string_view fullPath);

}  // namespace tw
