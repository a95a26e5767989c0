// The one way tests wait for something another thread or process does: a
// bounded poll that names what it waited for when it gives up.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>

namespace tw::testing {

// Checks `done` every millisecond until it holds or `limit` has passed. Use as
// ASSERT_TRUE(WaitFor(...)): on giving up, the failure says what never came.
template <class Predicate>
::testing::AssertionResult WaitFor(Predicate&& done, std::chrono::milliseconds limit,
                                   const std::string& what) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return ::testing::AssertionFailure()
             << "gave up after " << limit.count() << " ms waiting for " << what;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return ::testing::AssertionSuccess();
}

}  // namespace tw::testing
