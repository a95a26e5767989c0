#include "ui_engine_common/list_rules.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "ui_engine_common/control_core.h"
#include "ui_engine_common/text_buffer.h"

namespace tw::engine {
namespace {

TEST(InsertionPoint, NegativeAndPastTheEndPositionsAppend) {
  EXPECT_EQ(InsertionPoint(-1, 3), 3);
  EXPECT_EQ(InsertionPoint(4, 3), 3);
  EXPECT_EQ(InsertionPoint(3, 3), 3);
  EXPECT_EQ(InsertionPoint(0, 3), 0);
  EXPECT_EQ(InsertionPoint(0, 0), 0);
}

class FakeList : public ListProperties<ControlCore> {
 public:
  FakeList() : ListProperties<ControlCore>(nullptr, nullptr) {}
  int32_t selected = -1;

 protected:
  int32_t RowCount() const override { return 5; }
  int32_t SelectedRow() const override { return selected; }
  void SelectRow(int32_t row) override { selected = row; }
  int32_t ListClientWidth() const override { return 321; }
};

int64_t Get(FakeList& list, int32_t property) {
  UiValue value{-7, nullptr};
  EXPECT_EQ(list.GetProperty(property, &value), 1) << "property " << property;
  return value.number;
}

TEST(ListProperties, SelectedRowsOutsideTheRowNumbersSelectNone) {
  FakeList list;
  for (const int64_t row : {int64_t{2}, int64_t{INT32_MAX}}) {
    EXPECT_EQ(list.SetProperty(UI_PROP_SELECTED_ROW, UiValue{row, nullptr}), 1);
    EXPECT_EQ(list.selected, row);
  }
  for (const int64_t row : {int64_t{-5}, int64_t{INT32_MAX} + 1, int64_t{1} << 32}) {
    list.selected = 2;
    EXPECT_EQ(list.SetProperty(UI_PROP_SELECTED_ROW, UiValue{row, nullptr}), 1);
    EXPECT_EQ(list.selected, -1) << "row " << row;
  }
}

TEST(ListProperties, ReadsItsNumbersAndLeavesTheRestToTheControl) {
  FakeList list;
  list.selected = 4;
  EXPECT_EQ(Get(list, UI_PROP_SELECTED_ROW), 4);
  EXPECT_EQ(Get(list, UI_PROP_ROW_COUNT), 5);
  EXPECT_EQ(Get(list, UI_PROP_CLIENT_WIDTH), 321);
  UiValue value{0, nullptr};
  EXPECT_EQ(list.SetProperty(UI_PROP_VALUE, UiValue{1, nullptr}), 0);
  EXPECT_EQ(list.GetProperty(UI_PROP_RANGE_MAX, &value), 0);
  // The text is the control's own, kept for reading back.
  UiText* title = NewTextBuffer(u"列表");
  EXPECT_EQ(list.SetProperty(UI_PROP_TEXT, UiValue{0, title}), 1);
  std::free(title);
  ASSERT_EQ(list.GetProperty(UI_PROP_TEXT, &value), 1);
  EXPECT_EQ(ReadUnits(value.text), u"列表");
  std::free(value.text);
}

}  // namespace
}  // namespace tw::engine
