#include "ui_engine_common/reading_order.h"

#include <algorithm>
#include <numeric>

namespace tw::engine {

std::vector<size_t> ReadingOrder(const std::vector<Place>& places) {
  std::vector<size_t> order(places.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return places[a].top != places[b].top ? places[a].top < places[b].top
                                          : places[a].left < places[b].left;
  });
  for (auto row = order.begin(); row != order.end();) {
    const Place& first = places[*row];
    const int32_t middle = first.top + std::max(first.height, 0) / 2;
    const auto end = std::find_if(row + 1, order.end(),
                                  [&](size_t index) { return places[index].top > middle; });
    std::stable_sort(row, end, [&](size_t a, size_t b) { return places[a].left < places[b].left; });
    row = end;
  }
  return order;
}

int StepFocus(int current, int count, bool forward) {
  if (count <= 0) return -1;
  if (current < 0 || current >= count) return forward ? 0 : count - 1;
  return forward ? (current + 1) % count : (current + count - 1) % count;
}

}  // namespace tw::engine
