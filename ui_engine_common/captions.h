// The message box's button captions, as the program writes them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw::engine {

// The captions split at "&&", in order; empty pieces stay buttons.
std::vector<std::u16string> SplitCaptions(std::u16string_view captions);

}  // namespace tw::engine
