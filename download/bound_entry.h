// An entry point of one 32-bit argument bound to one operation of one object:
// what a thread start or a wake request is handed.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

namespace tw {

class BoundEntry {
 public:
  BoundEntry() = default;
  explicit BoundEntry(std::function<void(int32_t)> call) : call_(std::move(call)) {}

  // The operation's result, if any, is dropped: thread routines and wake
  // routines have nobody to hand it to.
  template <class T, class R>
  static BoundEntry Make(T* object, R (T::*operation)(int32_t)) {
    return BoundEntry([object, operation](int32_t param) { (object->*operation)(param); });
  }

  void operator()(int32_t param) const {
    if (call_) call_(param);
  }
  explicit operator bool() const { return static_cast<bool>(call_); }
  void Release() { call_ = nullptr; }

 private:
  std::function<void(int32_t)> call_;
};

}  // namespace tw
