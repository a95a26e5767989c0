// What the exports of ui_thread_exports.cpp ask of a control beyond its
// properties, whatever draws it. An engine's controls take the roles they
// have beside their control class; texts are UTF-16 code units.
#pragma once

#include <cstdint>
#include <string>

namespace tw::engine {

class TimerRole {
 public:
  // An interval of 0 or less stops the timer.
  virtual void SetIntervalMs(int32_t intervalMs) = 0;

 protected:
  ~TimerRole() = default;
};

class ToolBarRole {
 public:
  // position -1 (or past the end) appends; returns the new button's index.
  virtual int32_t InsertButton(int32_t position, const std::u16string& caption) = 0;

 protected:
  ~ToolBarRole() = default;
};

// A column of width 0 is hidden but keeps its cells, which stay readable.
class ListRole {
 public:
  // Positions of -1 or past the end append. Both return the new index, -1
  // when nothing was inserted.
  virtual int32_t InsertColumn(int32_t position, const std::u16string& title, int32_t width) = 0;
  virtual int32_t InsertRow(int32_t position) = 0;
  // 0 for hidden and unknown columns.
  virtual int32_t ColumnWidth(int32_t column) const = 0;
  // Cells outside the table are neither written nor read (empty text).
  virtual void SetCell(int32_t row, int32_t column, const std::u16string& text) = 0;
  virtual std::u16string Cell(int32_t row, int32_t column) const = 0;

  virtual int32_t RowCount() const = 0;
  // -1 for none.
  virtual int32_t SelectedRow() const = 0;
  // A row outside the list clears the selection.
  virtual void SelectRow(int32_t row) = 0;
  virtual int32_t ListClientWidth() const = 0;

 protected:
  ~ListRole() = default;
};

}  // namespace tw::engine
