#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ui_engine_common/control_core.h"
#include "ui_engine_common/frame_rules.h"
#include "ui_engine_common/list_rules.h"
#include "ui_engine_common/progress_rules.h"
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

  int32_t RowCount() const override { return 5; }
  int32_t SelectedRow() const override { return selected; }
  void SelectRow(int32_t row) override { selected = row; }
  int32_t ListClientWidth() const override { return 321; }
  int32_t InsertColumn(int32_t, const std::u16string&, int32_t) override { return -1; }
  int32_t InsertRow(int32_t) override { return -1; }
  int32_t ColumnWidth(int32_t) const override { return 0; }
  void SetCell(int32_t, int32_t, const std::u16string&) override {}
  std::u16string Cell(int32_t, int32_t) const override { return {}; }
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

class FakeProgress : public ProgressProperties<ControlCore> {
 public:
  FakeProgress() : ProgressProperties<ControlCore>(nullptr, nullptr) {}
  int32_t position = 0, maximum = 100;

 protected:
  int32_t Position() const override { return position; }
  void SetPosition(int32_t at) override { position = at; }
  int32_t Maximum() const override { return maximum; }
  void SetMaximum(int32_t top) override { maximum = top; }
  void TaskStateChanged() override { shownStates.push_back(TaskState()); }

 public:
  std::vector<int32_t> shownStates;
};

TEST(ProgressProperties, PositionsStayWithinTheRangeAndTheMaximumIsAtLeastOne) {
  FakeProgress bar;
  const auto set = [&](int32_t property, int64_t number) {
    EXPECT_EQ(bar.SetProperty(property, UiValue{number, nullptr}), 1);
  };
  set(UI_PROP_VALUE, 40);
  EXPECT_EQ(bar.position, 40);
  set(UI_PROP_VALUE, 101);
  EXPECT_EQ(bar.position, 100);
  set(UI_PROP_VALUE, -3);
  EXPECT_EQ(bar.position, 0);
  set(UI_PROP_RANGE_MAX, int64_t{1} << 40);
  EXPECT_EQ(bar.maximum, INT32_MAX);
  set(UI_PROP_VALUE, int64_t{1} << 33);
  EXPECT_EQ(bar.position, INT32_MAX);
  set(UI_PROP_RANGE_MAX, 0);
  EXPECT_EQ(bar.maximum, 1);
  set(UI_PROP_RANGE_MAX, INT64_MIN);
  EXPECT_EQ(bar.maximum, 1);
  UiValue value{0, nullptr};
  ASSERT_EQ(bar.GetProperty(UI_PROP_RANGE_MAX, &value), 1);
  EXPECT_EQ(value.number, 1);
  EXPECT_EQ(bar.GetProperty(UI_PROP_SELECTED_ROW, &value), 0);
}

// The engine shows a state only when it changes, and never one it does not know.
TEST(ProgressProperties, TaskStatesAreShownOnceEachAndUnknownOnesRefused) {
  FakeProgress bar;
  UiValue value{0, nullptr};
  ASSERT_EQ(bar.GetProperty(UI_PROP_TASK_STATE, &value), 1);
  EXPECT_EQ(value.number, UI_TASK_NONE);
  for (int64_t state : {UI_TASK_RUNNING, UI_TASK_RUNNING, UI_TASK_PAUSED, UI_TASK_FAILED}) {
    EXPECT_EQ(bar.SetProperty(UI_PROP_TASK_STATE, UiValue{state, nullptr}), 1);
  }
  for (int64_t unknown : {int64_t{-1}, int64_t{4}, int64_t{1} << 32}) {
    EXPECT_EQ(bar.SetProperty(UI_PROP_TASK_STATE, UiValue{unknown, nullptr}), 0) << unknown;
  }
  EXPECT_EQ(bar.shownStates,
            (std::vector<int32_t>{UI_TASK_RUNNING, UI_TASK_PAUSED, UI_TASK_FAILED}));
  ASSERT_EQ(bar.GetProperty(UI_PROP_TASK_STATE, &value), 1);
  EXPECT_EQ(value.number, UI_TASK_FAILED);
}

// What the program heard and the window did, in order.
using Steps = std::vector<std::string>;

int32_t Hear(void* context, int32_t code, int32_t, int32_t, int32_t, int32_t) {
  static_cast<Steps*>(context)->push_back("event " + std::to_string(code));
  return 0;
}

class FakeFrame : public FrameProperties<ControlCore> {
 public:
  explicit FakeFrame(Steps* steps) : FrameProperties<ControlCore>(&Hear, steps), steps_(steps) {}
  std::u16string title;
  std::string background = "unset";

 protected:
  std::u16string Title() const override { return title; }
  void SetTitle(const std::u16string& text) override { title = text; }
  void SetBackground(std::string_view bytes) override { background = bytes; }
  int32_t FrameClientWidth() const override { return 500; }
  void ShowNow() override { steps_->push_back("shown"); }

 private:
  Steps* steps_;
};

TEST(FrameProperties, TheProgramHearsOfTheWindowOnceBeforeItFirstShows) {
  Steps steps;
  FakeFrame frame(&steps);
  frame.ShowFrame();
  frame.ShowFrame();
  EXPECT_EQ(steps, (Steps{"event 1", "shown", "shown"}));
}

TEST(FrameProperties, TitleAndBackgroundAreTheWindowsOwn) {
  Steps steps;
  FakeFrame frame(&steps);
  UiText* title = NewTextBuffer(u"下载");
  EXPECT_EQ(frame.SetProperty(UI_PROP_TEXT, UiValue{0, title}), 1);
  EXPECT_EQ(frame.title, u"下载");
  // An empty text clears the image.
  EXPECT_EQ(frame.SetProperty(UI_PROP_BACKGROUND, UiValue{0, nullptr}), 1);
  EXPECT_EQ(frame.background, "");
  EXPECT_EQ(frame.SetProperty(UI_PROP_BACKGROUND, UiValue{0, title}), 1);
  EXPECT_EQ(frame.background.size(), 4u);
  std::free(title);
  UiValue value{0, nullptr};
  ASSERT_EQ(frame.GetProperty(UI_PROP_TEXT, &value), 1);
  EXPECT_EQ(ReadUnits(value.text), u"下载");
  std::free(value.text);
  ASSERT_EQ(frame.GetProperty(UI_PROP_CLIENT_WIDTH, &value), 1);
  EXPECT_EQ(value.number, 500);
  EXPECT_EQ(frame.GetProperty(UI_PROP_ROW_COUNT, &value), 0);
}

// A control that counts what screen readers would be told.
class Spoken : public FakeFrame {
 public:
  using FakeFrame::FakeFrame;
  int changes = 0;

 protected:
  void AccessibilityChanged() override { ++changes; }
};

std::u16string NameOf(ControlCore& control) {
  UiValue value{0, nullptr};
  EXPECT_EQ(control.GetProperty(UI_PROP_ACCESSIBLE_NAME, &value), 1);
  const std::u16string name = ReadUnits(value.text);
  std::free(value.text);
  return name;
}

void SetTextProperty(ControlCore& control, int32_t property, std::u16string_view text) {
  UiText* buffer = NewTextBuffer(text);
  EXPECT_EQ(control.SetProperty(property, UiValue{0, buffer}), 1);
  std::free(buffer);
}

TEST(AccessibleNames, WhatTheControlShowsNamesItUntilTheProgramGivesAName) {
  Steps steps;
  Spoken frame(&steps);
  SetTextProperty(frame, UI_PROP_TEXT, u"Tarnwick");
  EXPECT_EQ(NameOf(frame), u"Tarnwick");
  EXPECT_FALSE(frame.Named());
  SetTextProperty(frame, UI_PROP_ACCESSIBLE_NAME, u"下载进度");
  SetTextProperty(frame, UI_PROP_TEXT, u"另一个标题");
  EXPECT_EQ(NameOf(frame), u"下载进度");
  EXPECT_TRUE(frame.Named());
  // An empty name gives the control back to what it shows.
  SetTextProperty(frame, UI_PROP_ACCESSIBLE_NAME, u"");
  EXPECT_EQ(NameOf(frame), u"另一个标题");
  // Each change is passed on, so the engine can tell screen readers.
  EXPECT_EQ(frame.changes, 4);

  UiValue live{0, nullptr};
  EXPECT_FALSE(frame.Live());
  EXPECT_EQ(frame.SetProperty(UI_PROP_LIVE, UiValue{7, nullptr}), 1);
  EXPECT_TRUE(frame.Live());
  ASSERT_EQ(frame.GetProperty(UI_PROP_LIVE, &live), 1);
  EXPECT_EQ(live.number, 1);
  EXPECT_EQ(frame.SetProperty(UI_PROP_LIVE, UiValue{0, nullptr}), 1);
  EXPECT_FALSE(frame.Live());
  EXPECT_EQ(frame.changes, 6);
}

}  // namespace
}  // namespace tw::engine
