#include "ui_engine_common/reading_order.h"

#include <gtest/gtest.h>

#include <vector>

namespace tw::engine {
namespace {

// The main window's stops, as the engines find them: two toolbar buttons, the
// captions of three faces whose tops differ by a pixel or two, and the list.
TEST(ReadingOrder, RowsTopToBottomEachLeftToRight) {
  const std::vector<Place> places = {
      {16, 152, 496, 240},  // 0 the list
      {329, 66, 118, 53},   // 1 the third caption
      {43, 34, 36, 24},     // 2 the second toolbar button
      {65, 66, 117, 54},    // 3 the first caption
      {201, 65, 110, 53},   // 4 the second caption, a pixel higher
      {3, 34, 36, 24},      // 5 the first toolbar button
  };
  EXPECT_EQ(ReadingOrder(places), (std::vector<size_t>{5, 2, 3, 4, 1, 0}));
}

TEST(ReadingOrder, APlaceBelowARowsMiddleStartsTheNextRow) {
  // Overlapping the first row's lower half is not being in it.
  const std::vector<Place> places = {{100, 0, 50, 40}, {0, 21, 50, 40}, {0, 19, 50, 40}};
  EXPECT_EQ(ReadingOrder(places), (std::vector<size_t>{2, 0, 1}));
  EXPECT_TRUE(ReadingOrder({}).empty());
}

TEST(StepFocus, GoesRoundTheEndBothWaysAndStartsAtAnEnd) {
  EXPECT_EQ(StepFocus(0, 6, true), 1);
  EXPECT_EQ(StepFocus(5, 6, true), 0);
  EXPECT_EQ(StepFocus(0, 6, false), 5);
  EXPECT_EQ(StepFocus(-1, 6, true), 0);
  EXPECT_EQ(StepFocus(-1, 6, false), 5);
  EXPECT_EQ(StepFocus(9, 6, true), 0);
  EXPECT_EQ(StepFocus(-1, 0, true), -1);
}

}  // namespace
}  // namespace tw::engine
