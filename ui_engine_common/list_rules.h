// The rules every list view keeps, whatever draws it: where inserted columns
// and rows go, and its numeric properties.
#pragma once

#include <cstdint>

#include "ui_engine/engine_abi.h"
#include "ui_engine_common/control_roles.h"

namespace tw::engine {

// `position`, or the end when it is negative or past the end.
inline int32_t InsertionPoint(int32_t position, int32_t count) {
  return position < 0 || position > count ? count : position;
}

// The selected-row, row-count and client-width properties over an engine's
// control class `Base`; anything else is `Base`'s.
template <class Base>
class ListProperties : public Base, public ListRole {
 public:
  using Base::Base;

  int32_t SetProperty(int32_t property, const UiValue& value) override {
    if (property != UI_PROP_SELECTED_ROW) return Base::SetProperty(property, value);
    const int64_t row = value.number;
    SelectRow(row >= 0 && row <= INT32_MAX ? static_cast<int32_t>(row) : -1);
    return 1;
  }

  int32_t GetProperty(int32_t property, UiValue* value) override {
    switch (property) {
      case UI_PROP_SELECTED_ROW:
        value->number = SelectedRow();
        break;
      case UI_PROP_ROW_COUNT:
        value->number = RowCount();
        break;
      case UI_PROP_CLIENT_WIDTH:
        value->number = ListClientWidth();
        break;
      default:
        return Base::GetProperty(property, value);
    }
    return 1;
  }
};

}  // namespace tw::engine
