#include "script/script_heap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "script/thread_stack.h"

namespace tw {

using Clock = std::chrono::steady_clock;

struct ScriptHeap::Limits {
  std::size_t used = 0;
  bool armed = false;  // a protected run is in progress
  Clock::time_point deadline;
  std::uintptr_t stackLimit = 0;  // lowest frame address a run may reach
  std::uint32_t checks = 0;
  // Once the deadline has passed every check fails, so that a script which
  // catches the error and tries again gets no further.
  bool expired = false;
};

namespace {

// Allocations carry their size in front so that the cap can be kept exactly.
constexpr std::size_t kHeader = alignof(std::max_align_t);

// Room left below the guard for the engine's own error handling and for the
// few recursive paths that do not pass through the stack check.
constexpr std::uintptr_t kStackReserve = std::uintptr_t{512} * 1024;

// Checking the clock on every native recursion step would cost more than the
// step itself.
constexpr std::uint32_t kClockEvery = 256;

thread_local ScriptHeap::Limits* tRunning = nullptr;

thread_local int tBudgets = 0;
thread_local Clock::time_point tBudgetDeadline;

std::uintptr_t FrameAddress() {
  return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
}

// Found once per thread.
std::uintptr_t StackLow() {
  thread_local std::uintptr_t low = ThreadStackLow();
  return low;
}

void* Allocate(void* udata, duk_size_t size) {
  auto* limits = static_cast<ScriptHeap::Limits*>(udata);
  if (size > ScriptHeap::kMemoryCap - limits->used) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof size);
  limits->used += size;
  return block + kHeader;
}

void Free(void* udata, void* ptr) {
  if (ptr == nullptr) return;
  auto* limits = static_cast<ScriptHeap::Limits*>(udata);
  auto* block = static_cast<unsigned char*>(ptr) - kHeader;
  std::size_t size;
  std::memcpy(&size, block, sizeof size);
  limits->used -= size;
  std::free(block);
}

void* Reallocate(void* udata, void* ptr, duk_size_t size) {
  if (ptr == nullptr) return Allocate(udata, size);
  auto* limits = static_cast<ScriptHeap::Limits*>(udata);
  auto* block = static_cast<unsigned char*>(ptr) - kHeader;
  std::size_t old;
  std::memcpy(&old, block, sizeof old);
  if (size > old && size - old > ScriptHeap::kMemoryCap - limits->used) return nullptr;
  auto* grown = static_cast<unsigned char*>(std::realloc(block, size + kHeader));
  if (grown == nullptr) return nullptr;
  std::memcpy(grown, &size, sizeof size);
  limits->used = limits->used - old + size;
  return grown + kHeader;
}

bool OutOfTime(ScriptHeap::Limits* limits) {
  if (!limits->armed) return false;
  if (!limits->expired && Clock::now() >= limits->deadline) limits->expired = true;
  return limits->expired;
}

}  // namespace

std::unique_ptr<ScriptHeap> ScriptHeap::Create() {
  std::unique_ptr<ScriptHeap> heap(new ScriptHeap);
  heap->limits_ = std::make_unique<Limits>();
  heap->context_ =
      duk_create_heap(Allocate, Reallocate, Free, heap->limits_.get(), /*fatal=*/nullptr);
  if (heap->context_ == nullptr) return nullptr;
  auto removeDuktape = [](duk_context* ctx) -> duk_ret_t {
    duk_push_global_object(ctx);
    duk_del_prop_string(ctx, -1, "Duktape");
    return 0;
  };
  if (!heap->Run(removeDuktape, 0)) return nullptr;
  return heap;
}

ScriptHeap::~ScriptHeap() {
  if (context_ == nullptr) return;
  limits_->deadline = Clock::now() + kTimeBudget;
  limits_->armed = true;
  limits_->expired = false;
  duk_destroy_heap(context_);
}

ScriptHeap::Budget::Budget() {
  if (tBudgets++ == 0) tBudgetDeadline = Clock::now() + kTimeBudget;
}

ScriptHeap::Budget::~Budget() { --tBudgets; }

std::size_t ScriptHeap::BytesInUse() const { return limits_->used; }

bool ScriptHeap::Run(duk_safe_call_function body, void* udata, duk_idx_t results) {
  Limits* const outer = tRunning;
  const bool wasArmed = limits_->armed;
  // On a small stack the reserve shrinks to half of what is left, so the
  // guard still lies inside the stack.
  const std::uintptr_t here = FrameAddress();
  const std::uintptr_t low = StackLow();
  const std::uintptr_t left = low != 0 && here > low ? here - low : 2 * kStackReserve;
  limits_->stackLimit = here - left + std::min(kStackReserve, left / 2);
  limits_->deadline = tBudgets > 0 ? tBudgetDeadline : Clock::now() + kTimeBudget;
  limits_->armed = true;
  limits_->checks = 0;
  limits_->expired = false;
  tRunning = limits_.get();

  const duk_int_t rc = duk_safe_call(context_, body, udata, 0, results);

  tRunning = outer;
  limits_->armed = wasArmed;
  if (rc != DUK_EXEC_SUCCESS) {
    duk_pop_n(context_, results);
    return false;
  }
  return true;
}

}  // namespace tw

extern "C" int tw_script_timeout_check(void* udata) {
  return tw::OutOfTime(static_cast<tw::ScriptHeap::Limits*>(udata)) ? 1 : 0;
}

// Called by the engine at each native recursion step (calls, regular
// expression matching and compiling, JSON walks). Regular expression matching
// never reaches the bytecode interrupt, so its time budget is enforced here.
extern "C" int tw_script_stack_check(void) {
  tw::ScriptHeap::Limits* limits = tw::tRunning;
  if (limits == nullptr) return 0;
  if (tw::FrameAddress() < limits->stackLimit) return 1;
  if (limits->expired) return 1;
  if (++limits->checks % tw::kClockEvery == 0 && tw::OutOfTime(limits)) return 1;
  return 0;
}
