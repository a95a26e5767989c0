#include "ui_engine_common/call_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "tests/support/wait_for.h"

namespace tw::engine {
namespace {

using namespace std::chrono_literals;
using tw::testing::WaitFor;

// The test's thread stands in for the UI thread: what is posted waits in
// `posted` until the test runs it. The call is made from a second thread.
class CallQueueTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (caller_.joinable()) caller_.join();
  }

  void CallFromAnotherThread(std::function<void()> body) {
    caller_ = std::thread([this, body = std::move(body)] {
      const bool ran = queue_.Call(body, [this](std::function<void()> run) {
        std::lock_guard lock(mutex_);
        posted_ = std::move(run);
        return true;
      });
      result_ = ran ? 1 : 0;
    });
  }

  std::function<void()> TakePosted() {
    std::function<void()> run;
    EXPECT_TRUE(WaitFor(
        [&] {
          std::lock_guard lock(mutex_);
          if (!posted_) return false;
          run = std::move(*posted_);
          posted_.reset();
          return true;
        },
        5s, "the call to be posted"));
    return run;
  }

  ::testing::AssertionResult CallReturned() {
    return WaitFor([&] { return result_ >= 0; }, 5s, "the call to return");
  }

  CallQueue queue_;
  std::mutex mutex_;
  std::optional<std::function<void()>> posted_;
  std::atomic<int> result_{-1};
  std::atomic<int> runs_{0};
  std::thread caller_;
};

TEST_F(CallQueueTest, ACallReturnsOnceTheUiThreadHasRunIt) {
  CallFromAnotherThread([this] { ++runs_; });
  std::function<void()> run = TakePosted();
  ASSERT_TRUE(run);
  EXPECT_EQ(result_, -1) << "the call returned before it ran";
  run();
  ASSERT_TRUE(CallReturned());
  EXPECT_EQ(result_, 1);
  EXPECT_EQ(runs_, 1);
}

TEST_F(CallQueueTest, ThePendingCallIsGivenUpWhenTheLoopEndsAndNeverRuns) {
  CallFromAnotherThread([this] { ++runs_; });
  std::function<void()> run = TakePosted();
  ASSERT_TRUE(run);
  queue_.SetLoopEnded(true);
  ASSERT_TRUE(CallReturned());
  EXPECT_EQ(result_, 0);
  // What the caller handed over is gone by now: a late run must not touch it.
  run();
  EXPECT_EQ(runs_, 0);
}

TEST_F(CallQueueTest, ACallAlreadyRunningWhenTheLoopEndsIsWaitedFor) {
  std::atomic<bool> started{false}, release{false};
  CallFromAnotherThread([&] {
    started = true;
    EXPECT_TRUE(WaitFor([&] { return release.load(); }, 5s, "the test to let the call finish"));
    ++runs_;
  });
  std::function<void()> run = TakePosted();
  ASSERT_TRUE(run);
  std::thread ui(run);
  EXPECT_TRUE(WaitFor([&] { return started.load(); }, 5s, "the call to start"));
  queue_.SetLoopEnded(true);
  EXPECT_EQ(result_, -1) << "the caller left while its call was still running";
  release = true;
  ui.join();
  ASSERT_TRUE(CallReturned());
  EXPECT_EQ(result_, 1);
  EXPECT_EQ(runs_, 1);
}

TEST_F(CallQueueTest, NothingIsPostedOnceTheLoopHasEndedOrWhenPostingFails) {
  int posts = 0;
  queue_.SetLoopEnded(true);
  EXPECT_FALSE(
      queue_.Call([this] { ++runs_; }, [&](std::function<void()>) { return ++posts, true; }));
  EXPECT_EQ(posts, 0);
  // A loop that runs again takes calls again; one it cannot take fails at once.
  queue_.SetLoopEnded(false);
  EXPECT_FALSE(
      queue_.Call([this] { ++runs_; }, [&](std::function<void()>) { return ++posts, false; }));
  EXPECT_EQ(posts, 1);
  EXPECT_EQ(runs_, 0);
}

}  // namespace
}  // namespace tw::engine
