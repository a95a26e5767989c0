#include "app/target_path.h"

#include <cstring>

#include "script/regex_object.h"
#include "text/path_separator.h"

namespace tw {
namespace {

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// Width of the dot or blank at `pos` (the full-width blank has two bytes); 0
// for any other character.
std::size_t DroppableWidth(std::string_view text, std::size_t pos) {
  if (text[pos] == '.' || text[pos] == ' ') return 1;
  if (pos + 1 < text.size() && static_cast<unsigned char>(text[pos]) == 0xA1 &&
      static_cast<unsigned char>(text[pos + 1]) == 0xA1) {
    return 2;
  }
  return 0;
}

// Windows takes a name for a device when what stands before its first dot,
// blanks before that dot ignored, is a device's name.
bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
    if (EqualsIgnoreCase(base, device)) return true;
  }
  return base.size() == 4 &&
         (StartsWithText(base, "COM", true) || StartsWithText(base, "LPT", true)) &&
         base[3] >= '1' && base[3] <= '9';
}

Text MakeNameSafe(std::string_view name) {
  Text safe;
  std::size_t kept = 0;  // up to the last character that is neither dot nor blank
  for (std::size_t pos = 0; pos < name.size();) {
    const std::size_t droppable = DroppableWidth(name, pos);
    const std::size_t width = droppable > 0 ? droppable : CharWidth(name, pos);
    if (width == 1 && IsControl(name[pos])) {
      safe += '_';
    } else {
      safe.append(name.substr(pos, width));
    }
    pos += width;
    if (droppable == 0) kept = safe.size();
  }
  safe.resize(kept);
  if (!IsDeviceName(safe)) return safe;
  // Built up rather than inserted: GCC 12 at -O3 warns on an insert at 0.
  Text prefixed = "_";
  prefixed += safe;
  return prefixed;
}

}  // namespace

Text CleanFileName(RegexObject& regex, const Text& typed) {
  regex.Create(kIllegalNamePattern, typed);
  return MakeNameSafe(Trim(regex.Replace("_")));
}

Text DownloadTargetPath(const Text& folder, const Text& fileName) {
  const Text joined = folder + kPathSeparator + fileName + ".iso";
  const std::string_view prefix = kNetworkPathPrefix;
  const std::size_t kept = !prefix.empty() && StartsWithText(joined, prefix) ? prefix.size() : 0;
  return joined.substr(0, kept) +
         ReplaceText(std::string_view(joined).substr(kept), kDoubledPathSeparator, kPathSeparator);
}

bool EndsWithSeparator(std::string_view folder) {
  const std::size_t at = FindLastText(folder, kPathSeparator);
  return at != kNotFound && at + std::strlen(kPathSeparator) == folder.size();
}

}  // namespace tw
