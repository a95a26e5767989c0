// One embedded JavaScript engine heap with the limits every evaluation runs
// under. The script services evaluate text that can come straight off the
// network, so nothing run here may hang, exhaust memory or overflow the native
// stack: each protected run gets a time budget, the heap's allocations are
// capped, and deep native recursion is refused before the stack runs out.
//
// The engine unwinds errors with longjmp. A body passed to Run must therefore
// keep no object with a non-trivial destructor alive across an engine call;
// temporaries that end within one statement, and objects owned by the caller,
// are fine.
//
// Documents get no way to register finalizers: a finalizer runs when the heap
// is freed, and freeing must always return promptly. Freeing also runs under
// the time budget, so that nothing the engine still calls then can hang it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "duktape.h"

#ifndef TW_SCRIPT_BUDGET_MS
#define TW_SCRIPT_BUDGET_MS 1000
#endif

namespace tw {

class ScriptHeap {
 public:
  static constexpr std::size_t kMemoryCap = std::size_t{64} << 20;
  // A build may shorten it: the fuzz build does, to try more inputs a second.
  static constexpr std::chrono::milliseconds kTimeBudget{TW_SCRIPT_BUDGET_MS};

  // nullptr when the engine could not be set up.
  static std::unique_ptr<ScriptHeap> Create();
  ~ScriptHeap();
  ScriptHeap(const ScriptHeap&) = delete;
  ScriptHeap& operator=(const ScriptHeap&) = delete;

  duk_context* context() const { return context_; }

  // Runs `body` as a protected call. On success the body's `results` values
  // are left on top of the stack for the caller to read and pop; on any error
  // (a script error, the time budget, the memory cap, the stack guard) the
  // stack is left as it was and false is returned.
  bool Run(duk_safe_call_function body, void* udata, duk_idx_t results);

  // Same for a callable `duk_ret_t body(duk_context*)`.
  template <class Body>
  bool Run(Body& body, duk_idx_t results) {
    return Run([](duk_context* ctx,
                  void* udata) -> duk_ret_t { return (*static_cast<Body*>(udata))(ctx); },
               &body, results);
  }

  // While one lives on a thread, every run on that thread, in any heap, shares
  // the deadline it set, so that an operation made of several evaluations is
  // bounded as a whole. Nested ones keep the outer deadline.
  class Budget {
   public:
    Budget();
    ~Budget();
    Budget(const Budget&) = delete;
    Budget& operator=(const Budget&) = delete;
  };

  // Bytes the heap holds now; for tests and measurements.
  std::size_t BytesInUse() const;

  struct Limits;

 private:
  ScriptHeap() = default;

  std::unique_ptr<Limits> limits_;
  duk_context* context_ = nullptr;
};

}  // namespace tw
