#include "download/extended_length_path.h"

namespace tw {

std::u16string ExtendedLengthForm(std::u16string_view fullPath) {
  const auto isLetter = [](char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
  };
  if (fullPath.size() >= 3 && isLetter(fullPath[0]) && fullPath[1] == u':' &&
      fullPath[2] == u'\\') {
    return u"\\\\?\\" + std::u16string(fullPath);
  }
  const bool device = fullPath.starts_with(u"\\\\?\\") || fullPath.starts_with(u"\\\\.\\");
  // "\\server\share\...": at least a server name after the pair.
  if (!device && fullPath.size() > 2 && fullPath.starts_with(u"\\\\") && fullPath[2] != u'\\') {
    return u"\\\\?\\UNC\\" + std::u16string(fullPath.substr(2));
  }
  return std::u16string(fullPath);
}

}  // namespace tw
