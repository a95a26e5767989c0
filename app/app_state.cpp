#include "app/app_state.h"

namespace tw {

AppState& App() {
  static AppState state;
  return state;
}

}  // namespace tw
