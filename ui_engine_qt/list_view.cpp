#include "ui_engine_qt/list_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QScrollBar>

#include "ui_engine_qt/skin.h"

namespace tw::engine {

ListView::ListView(QWidget* parent, UiEventCallback callback, void* context)
    : QTreeView(parent),
      ListProperties<Control>(callback, context),
      model_(new QStandardItemModel(this)) {
  setModel(model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setAlternatingRowColors(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Column widths stay what the program gave them; nothing stretches.
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { Emit(UI_EVENT_SELECT, SelectedRow()); });
}

int32_t ListView::InsertColumn(int32_t position, const std::u16string& title, int32_t width) {
  const int column = InsertionPoint(position, model_->columnCount());
  model_->insertColumn(column);
  model_->setHorizontalHeaderItem(column, new QStandardItem(QString::fromStdU16String(title)));
  if (width <= 0) {
    setColumnHidden(column, true);
  } else {
    setColumnHidden(column, false);
    setColumnWidth(column, width);
  }
  return column;
}

int32_t ListView::InsertRow(int32_t position) {
  const int row = InsertionPoint(position, model_->rowCount());
  model_->insertRow(row);
  return row;
}

int32_t ListView::ColumnWidth(int32_t column) const {
  if (column < 0 || column >= model_->columnCount() || isColumnHidden(column)) return 0;
  return columnWidth(column);
}

void ListView::SetCell(int32_t row, int32_t column, const std::u16string& units) {
  const QString text = QString::fromStdU16String(units);
  if (row < 0 || row >= model_->rowCount() || column < 0 || column >= model_->columnCount()) return;
  QStandardItem* item = model_->item(row, column);
  if (item == nullptr) {
    model_->setItem(row, column, new QStandardItem(text));
  } else {
    item->setText(text);
  }
}

std::u16string ListView::Cell(int32_t row, int32_t column) const {
  const QStandardItem* item = model_->item(row, column);
  return item != nullptr ? item->text().toStdU16String() : std::u16string();
}

int32_t ListView::SelectedRow() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void ListView::SelectRow(int32_t row) {
  if (row < 0 || row >= model_->rowCount()) {
    selectionModel()->clearSelection();
    return;
  }
  const QModelIndex index = model_->index(row, 0);
  selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(index);
}

void ListView::paintEvent(QPaintEvent* event) {
  QTreeView::paintEvent(event);
  const QModelIndex current = currentIndex();
  if (!hasFocus() || !current.isValid()) return;
  // The whole row, as it is selected: from its first shown column to its last.
  QRect row;
  for (int column = 0; column < model_->columnCount(); ++column) {
    if (!isColumnHidden(column)) row = row.united(visualRect(current.siblingAtColumn(column)));
  }
  QPainter painter(viewport());
  DrawFocusMark(painter, QRectF(row).adjusted(1.5, 1.5, -1.5, -1.5));
}

int32_t ListView::RowCount() const { return model_->rowCount(); }

int32_t ListView::ListClientWidth() const {
  // Until the list is first shown its viewport has not been laid out yet.
  if (isVisible()) return viewport()->width();
  return contentsRect().width();
}

}  // namespace tw::engine
