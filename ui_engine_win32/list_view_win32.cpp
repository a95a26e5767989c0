#include "ui_engine_win32/list_view_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "ui_engine_win32/frame_win32.h"

namespace tw::engine {

bool ListView::Create(HWND parent, int left, int top, int width, int height) {
  HWND window = CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, left,
      top, std::max(width, 0), std::max(height, 0), parent, nullptr, ModuleInstance(), nullptr);
  if (window == nullptr) return false;
  ListView_SetExtendedListViewStyle(window,
                                    LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_GRIDLINES);
  UseFont(window, UiFont(DpiOf(parent)));
  Attach(window);
  WatchSystemWindow(window);
  return true;
}

LRESULT ListView::Notify(NMHDR* header) {
  switch (header->code) {
    case LVN_ITEMCHANGED: {
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
      const bool nowSelected = (change->uNewState & LVIS_SELECTED) != 0;
      const bool wasSelected = (change->uOldState & LVIS_SELECTED) != 0;
      if ((change->uChanged & LVIF_STATE) != 0 && nowSelected && !wasSelected) {
        Emit(UI_EVENT_SELECT, change->iItem);
      }
      return 0;
    }
    case HDN_BEGINTRACKW:
    case HDN_BEGINTRACKA:
    case HDN_DIVIDERDBLCLICKW:
    case HDN_DIVIDERDBLCLICKA:
      // TRUE keeps a hidden column's divider where it is.
      return Hidden(reinterpret_cast<const NMHEADERW*>(header)->iItem) ? TRUE : FALSE;
    default:
      return 0;
  }
}

void ListView::DpiChanged(Dpi from, Dpi to) {
  Control::DpiChanged(from, to);
  // The font first: the rows and the header take their heights from it.
  UseFont(Window(), UiFont(to));
  for (int column = 0; column < static_cast<int>(hidden_.size()); ++column) {
    if (Hidden(column)) continue;
    const int width = static_cast<int>(SendMessageW(Window(), LVM_GETCOLUMNWIDTH, column, 0));
    SendMessageW(Window(), LVM_SETCOLUMNWIDTH, column, MAKELPARAM(to.Px(from.Base(width)), 0));
  }
}

bool ListView::Hidden(int column) const {
  return column >= 0 && static_cast<size_t>(column) < hidden_.size() &&
         hidden_[static_cast<size_t>(column)];
}

int32_t ListView::InsertColumn(int32_t position, const std::u16string& title, int32_t width) {
  const int32_t column = InsertionPoint(position, static_cast<int32_t>(hidden_.size()));
  std::wstring shown = Wide(title);
  LVCOLUMNW entry{};
  entry.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  entry.fmt = LVCFMT_LEFT;
  entry.cx = DpiOf(Window()).Px(std::max(width, 0));
  entry.pszText = shown.data();
  const auto inserted = static_cast<int32_t>(SendMessageW(
      Window(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&entry)));
  if (inserted < 0) return -1;
  hidden_.insert(hidden_.begin() + inserted, width <= 0);
  return inserted;
}

int32_t ListView::ColumnWidth(int32_t column) const {
  if (column < 0 || column >= static_cast<int32_t>(hidden_.size()) || Hidden(column)) return 0;
  return DpiOf(Window()).Base(
      static_cast<int32_t>(SendMessageW(Window(), LVM_GETCOLUMNWIDTH, column, 0)));
}

int32_t ListView::RowCount() const {
  return static_cast<int32_t>(SendMessageW(Window(), LVM_GETITEMCOUNT, 0, 0));
}

int32_t ListView::InsertRow(int32_t position) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = InsertionPoint(position, RowCount());
  item.pszText = const_cast<wchar_t*>(L"");
  return static_cast<int32_t>(
      SendMessageW(Window(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void ListView::SetCell(int32_t row, int32_t column, const std::u16string& text) {
  if (row < 0 || row >= RowCount() || column < 0 ||
      column >= static_cast<int32_t>(hidden_.size())) {
    return;
  }
  std::wstring copy = Wide(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = copy.data();
  SendMessageW(Window(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(&item));
}

std::u16string ListView::Cell(int32_t row, int32_t column) const {
  if (row < 0 || row >= RowCount() || column < 0 ||
      column >= static_cast<int32_t>(hidden_.size())) {
    return {};
  }
  // The list copies at most the buffer's size less one; a full buffer may
  // mean a longer text, so it grows until the text fits.
  for (size_t size = 256;; size *= 2) {
    std::wstring buffer(size, L'\0');
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(size);
    const auto copied = static_cast<size_t>(SendMessageW(
        Window(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    if (copied + 1 < size || size >= (1u << 20)) {
      buffer.resize(std::min(copied, size));
      return Units(buffer);
    }
  }
}

int32_t ListView::SelectedRow() const {
  return static_cast<int32_t>(
      SendMessageW(Window(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListView::SelectRow(int32_t row) {
  if (row < 0 || row >= RowCount()) {
    ListView_SetItemState(Window(), -1, 0, LVIS_SELECTED);
    return;
  }
  ListView_SetItemState(Window(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(Window(), row, FALSE);
}

}  // namespace tw::engine
