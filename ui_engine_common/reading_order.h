// The order the keyboard's focus takes through a window, whatever draws it:
// the way the window is read, rows from top to bottom, each from left to right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tw::engine {

// A focusable thing's place within its window.
struct Place {
  int32_t left, top, width, height;
};

// The indices of `places` in reading order. A place is in the row of the
// topmost place not yet in a row when its top lies above that one's middle, so
// a toolbar's buttons and a row of slightly uneven buttons each read as one row.
std::vector<size_t> ReadingOrder(const std::vector<Place>& places);

// The stop after (or before) `current` among `count`, round the end; from none
// (-1) the first (or the last). -1 when there are none.
int StepFocus(int current, int count, bool forward);

}  // namespace tw::engine
