// The message box's button captions, as the program writes them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw::engine {

// The captions split at "&&", in order; empty pieces stay buttons.
std::vector<std::u16string> SplitCaptions(std::u16string_view captions);

// A caption as a button or toolbar shows it: "&" would mark the next letter as
// the access key and vanish, so each one is doubled.
std::u16string DoubleAmpersands(std::u16string_view caption);

}  // namespace tw::engine
