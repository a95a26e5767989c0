// The catalog list: columns (one of them hidden), rows, cells and selection.
#include <QTreeView>

#include "tests/ui_engine_qt/engine_fixture.h"
#include "text/system_texts.h"

namespace tw::engine_test {
namespace {

class ListViewTest : public EngineTest {
 protected:
  void SetUp() override {
    window = MakeWindow();
    list = CreateControl_ListView(window, 16, 152, 496, 240, nullptr, nullptr);
  }

  int32_t AddColumn(const QString& title, int32_t width, int32_t position = -1) {
    Buffer buffer(title);
    return InsertColumn_ListView(list, position, buffer.text, width);
  }
  void SetCell(int32_t row, int32_t column, const QString& text) {
    Buffer buffer(text);
    SetItemTitle_ListView(list, row, column, buffer.text);
  }
  QString Cell(int32_t row, int32_t column) {
    return Take(GetItemTitle_ListView(list, row, column));
  }

  UiControl window = 0;
  UiControl list = 0;
};

TEST_F(ListViewTest, HiddenColumnReadsWidthZeroAndKeepsItsCells) {
  EXPECT_EQ(AddColumn(FromGbk(Texts().columnImage), 204), 0);
  EXPECT_EQ(AddColumn(FromGbk(Texts().columnSize), 204), 1);
  EXPECT_EQ(AddColumn(FromGbk(Texts().columnLink), 0), 2);
  ControlShow(window);
  EngineProcessMessages();

  EXPECT_EQ(GetColumnWidth_ListView(list, 0), 204);
  EXPECT_EQ(GetColumnWidth_ListView(list, 1), 204);
  EXPECT_EQ(GetColumnWidth_ListView(list, 2), 0);
  auto* view = qobject_cast<QTreeView*>(WidgetAt(QRect(16, 152, 496, 240)));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isColumnHidden(2));

  const int32_t row = InsertItem_ListView(list, -1);
  SetCell(row, 2, QStringLiteral("https://host/t/abcdefghijkl"));
  EXPECT_EQ(Cell(row, 2), QStringLiteral("https://host/t/abcdefghijkl"));
  // A column added before the hidden one moves it without showing it.
  EXPECT_EQ(AddColumn(QStringLiteral("extra"), 50, 1), 1);
  EXPECT_EQ(GetColumnWidth_ListView(list, 3), 0);
  EXPECT_EQ(Cell(row, 3), QStringLiteral("https://host/t/abcdefghijkl"));
}

TEST_F(ListViewTest, CellsKeepTheirTextsAndRowsShiftOnInsertion) {
  AddColumn(QStringLiteral("a"), 100);
  AddColumn(QStringLiteral("b"), 100);
  const QString names[] = {
      QStringLiteral("win10多版本2004 64位（推荐）"), QStringLiteral("win10多版本1909 64位"),
      QStringLiteral("win10多版本1903 64位"), QStringLiteral("win7旗舰最新版64位")};
  const QString sizes[] = {QStringLiteral("4.94GB"), QStringLiteral("5.14GB"),
                           QStringLiteral("5.02GB"), QStringLiteral("3.19GB")};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(InsertItem_ListView(list, -1), i);
    SetCell(i, 0, names[i]);
    SetCell(i, 1, sizes[i]);
  }
  EXPECT_EQ(Cell(3, 0), names[3]);
  EXPECT_EQ(Cell(2, 1), sizes[2]);
  EXPECT_EQ(GetNumber(list, UI_PROP_ROW_COUNT), 4);

  EXPECT_EQ(InsertItem_ListView(list, 0), 0);
  EXPECT_EQ(Cell(0, 0), QString());
  EXPECT_EQ(Cell(1, 0), names[0]);
  EXPECT_EQ(InsertItem_ListView(list, 99), 5);  // past the end appends

  // Outside the table nothing is written and reads are empty.
  SetCell(9, 0, QStringLiteral("nowhere"));
  SetCell(0, 7, QStringLiteral("nowhere"));
  EXPECT_EQ(Cell(9, 0), QString());
  EXPECT_EQ(Cell(-1, 0), QString());
  EXPECT_EQ(GetNumber(list, UI_PROP_ROW_COUNT), 6);
}

TEST_F(ListViewTest, SelectionIsOneRowOrNone) {
  AddColumn(QStringLiteral("a"), 100);
  for (int i = 0; i < 3; ++i) InsertItem_ListView(list, -1);
  EXPECT_EQ(GetNumber(list, UI_PROP_SELECTED_ROW), -1);
  SetNumber(list, UI_PROP_SELECTED_ROW, 0);
  EXPECT_EQ(GetNumber(list, UI_PROP_SELECTED_ROW), 0);
  SetNumber(list, UI_PROP_SELECTED_ROW, 2);
  EXPECT_EQ(GetNumber(list, UI_PROP_SELECTED_ROW), 2);
  auto* view = qobject_cast<QTreeView*>(WidgetAt(QRect(16, 152, 496, 240)));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->selectionModel()->selectedRows().size(), 1);
  SetNumber(list, UI_PROP_SELECTED_ROW, 3);
  EXPECT_EQ(GetNumber(list, UI_PROP_SELECTED_ROW), -1);
  SetNumber(list, UI_PROP_SELECTED_ROW, 1);
  SetNumber(list, UI_PROP_SELECTED_ROW, -1);
  EXPECT_EQ(GetNumber(list, UI_PROP_SELECTED_ROW), -1);
}

TEST_F(ListViewTest, ClientWidthIsTheSameBeforeAndAfterTheWindowShows) {
  const int64_t before = GetNumber(list, UI_PROP_CLIENT_WIDTH);
  ControlShow(window);
  EngineProcessMessages();
  const int64_t after = GetNumber(list, UI_PROP_CLIENT_WIDTH);
  EXPECT_EQ(before, after);
  EXPECT_GT(after, 480);
  EXPECT_LE(after, 496);
}

}  // namespace
}  // namespace tw::engine_test
