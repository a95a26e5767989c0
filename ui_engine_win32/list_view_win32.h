// The list with columns: a report-style list view with whole-row selection.
// A column inserted with no width is hidden: it keeps texts the program reads
// back (the catalog's share links) but never shows and cannot be dragged open.
// Column widths are the program's, at 96 DPI.
#pragma once

#include <string>
#include <vector>

#include "ui_engine_common/list_rules.h"
#include "ui_engine_win32/control_win32.h"

namespace tw::engine {

class ListView : public ListProperties<Control> {
 public:
  using ListProperties<Control>::ListProperties;
  bool Create(HWND parent, int left, int top, int width, int height);

  LRESULT Notify(NMHDR* header) override;
  bool TakesFocus() const override { return true; }
  void DpiChanged(Dpi from, Dpi to) override;

  int32_t InsertColumn(int32_t position, const std::u16string& title, int32_t width) override;
  int32_t ColumnWidth(int32_t column) const override;
  int32_t InsertRow(int32_t position) override;
  void SetCell(int32_t row, int32_t column, const std::u16string& text) override;
  std::u16string Cell(int32_t row, int32_t column) const override;
  int32_t RowCount() const override;
  int32_t SelectedRow() const override;
  void SelectRow(int32_t row) override;
  int32_t ListClientWidth() const override { return ClientWidth(); }

 private:
  bool Hidden(int column) const;

  std::vector<bool> hidden_;  // per column
};

}  // namespace tw::engine
