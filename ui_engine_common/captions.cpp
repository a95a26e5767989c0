#include "ui_engine_common/captions.h"

namespace tw::engine {

std::vector<std::u16string> SplitCaptions(std::u16string_view captions) {
  std::vector<std::u16string> pieces;
  size_t start = 0;
  for (size_t at = captions.find(u"&&"); at != std::u16string_view::npos;
       at = captions.find(u"&&", start)) {
    pieces.emplace_back(captions.substr(start, at - start));
    start = at + 2;
  }
  pieces.emplace_back(captions.substr(start));
  return pieces;
}

std::u16string DoubleAmpersands(std::u16string_view caption) {
  std::u16string shown;
  for (char16_t unit : caption) {
    shown += unit;
    if (unit == u'&') shown += u'&';
  }
  return shown;
}

}  // namespace tw::engine
