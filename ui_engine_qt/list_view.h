// A table of text cells with titled columns and single-row selection. A
// column of width 0 is hidden but keeps its cells, which stay readable.
#pragma once

#include <QStandardItemModel>
#include <QTreeView>

#include "ui_engine_common/list_rules.h"
#include "ui_engine_qt/control.h"

namespace tw::engine {

class ListView : public QTreeView, public ListProperties<Control> {
 public:
  ListView(QWidget* parent, UiEventCallback callback, void* context);

  QObject* Object() override { return this; }
  QWidget* Widget() override { return this; }

  int32_t InsertColumn(int32_t position, const std::u16string& title, int32_t width) override;
  int32_t InsertRow(int32_t position) override;
  int32_t ColumnWidth(int32_t column) const override;
  void SetCell(int32_t row, int32_t column, const std::u16string& text) override;
  std::u16string Cell(int32_t row, int32_t column) const override;

  int32_t SelectedRow() const override;
  void SelectRow(int32_t row) override;

 protected:
  // The current row carries the focus mark while the list has the focus.
  void paintEvent(QPaintEvent* event) override;

 private:
  int32_t RowCount() const override;
  int32_t ListClientWidth() const override;

  QStandardItemModel* model_;  // a child, so it outlives the view's own teardown
};

}  // namespace tw::engine
