// The pieces the engine rests on: the speed meter's ring, the periodic
// thread's loop and result codes, wake requests, and the write-combining file.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "download/periodic_thread.h"
#include "download/speed_meter.h"
#include "download/target_file.h"
#include "download/thread_record.h"
#include "tests/download/report_log.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_for.h"

namespace tw {
namespace {

using namespace std::chrono_literals;

TEST(SpeedMeterTest, AveragesTheNewestSixtySamplesInFloat) {
  SpeedMeter meter;
  EXPECT_EQ(meter.Average(), 0.0f);
  meter.AddSample(7.25f);
  EXPECT_EQ(meter.Average(), 7.25f);

  SpeedMeter ring;
  for (int i = 1; i <= 61; ++i) ring.AddSample(static_cast<float>(i));
  EXPECT_EQ(ring.Count(), 60);
  // Sample 1 was replaced by sample 61: the mean of 2..61.
  EXPECT_EQ(ring.Average(), 31.5f);

  // Summed one float addition at a time, so tiny samples after a huge one are
  // lost exactly as the display expects.
  SpeedMeter rounding;
  rounding.AddSample(16777216.0f);
  rounding.AddSample(1.0f);
  rounding.AddSample(1.0f);
  EXPECT_EQ(rounding.Average(), 16777216.0f / 3.0f);
}

TEST(ThreadRecordTest, WakeRoutinesRunOnTheSleepingThread) {
  std::atomic<std::thread::id> ranOn{};
  std::atomic<bool> asleep{false};
  std::atomic<int32_t> result{-5};
  ThreadHandle t = ThreadRecord::Launch([&] {
    asleep = true;
    result = AlertableSleep(10000);
  });
  ASSERT_TRUE(t);
  ASSERT_TRUE(testing::WaitFor([&] { return asleep.load(); }, 10s, "the thread to fall asleep"));
  ASSERT_TRUE(t->QueueWake([&] { ranOn = std::this_thread::get_id(); }));
  EXPECT_EQ(t->Wait(5000), kWaitObject0);
  EXPECT_EQ(result.load(), kWaitIoCompletion);
  EXPECT_NE(ranOn.load(), std::this_thread::get_id());
  // The handle outlives the thread; a wake to a finished thread is refused.
  EXPECT_TRUE(t->Finished());
  EXPECT_FALSE(t->QueueWake([] {}));
  EXPECT_TRUE(testing::WaitForEngineThreads());
}

TEST(ThreadRecordTest, PendingWakeIsSeenByTheNextZeroSleep) {
  std::atomic<bool> queued{false};
  std::atomic<int32_t> first{-5}, second{-5};
  ThreadHandle t = ThreadRecord::Launch([&] {
    // Bounded by itself: a failed queue below still lets the thread end.
    testing::WaitFor([&] { return queued.load(); }, 10s, "the wake to be queued");
    first = AlertableSleep(0);
    second = AlertableSleep(0);
  });
  ASSERT_TRUE(t->QueueWake([] {}));
  queued = true;
  t->Wait(kInfinite);
  EXPECT_EQ(first.load(), kWaitIoCompletion);
  EXPECT_EQ(second.load(), kWaitObject0);
}

class PeriodicThreadTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(testing::WaitForEngineThreads()); }
};

TEST_F(PeriodicThreadTest, StopCodes) {
  PeriodicThread never;
  EXPECT_EQ(never.Stop(), PeriodicThread::kNoThread);
  EXPECT_FALSE(never.Suspend());
  EXPECT_FALSE(never.Resume());
  EXPECT_FALSE(never.Terminate());

  std::atomic<int> calls{0};
  PeriodicThread loop;
  ThreadHandle h = loop.Start(BoundEntry([&](int32_t) { ++calls; }), 5, 0, 0, true);
  ASSERT_TRUE(h);
  ASSERT_TRUE(testing::WaitFor([&] { return calls >= 3; }, 10s, "three calls"));
  EXPECT_EQ(loop.Stop(1000, true), 0);
  EXPECT_EQ(h->Wait(5000), kWaitObject0);
  EXPECT_EQ(loop.Thread(), nullptr);  // the loop forgot itself on the way out
  EXPECT_EQ(loop.Stop(), PeriodicThread::kNoThread);
}

TEST_F(PeriodicThreadTest, StopTimesOutWhileADirectCallRunsLong) {
  std::atomic<bool> inside{false};
  PeriodicThread loop;
  loop.Start(BoundEntry([&](int32_t) {
               inside = true;
               std::this_thread::sleep_for(1300ms);
             }),
             10, 0, 0, true);
  ASSERT_TRUE(testing::WaitFor([&] { return inside.load(); }, 10s, "the long call to begin"));
  EXPECT_EQ(loop.Stop(), kWaitTimeout);
  // The running call is never interrupted; the loop ends at its next sleep.
  EXPECT_EQ(loop.Stop(5000), kWaitObject0);
}

TEST_F(PeriodicThreadTest, WakeDuringInitialDelayLeavesTheLoopRecorded) {
  std::atomic<int> calls{0};
  PeriodicThread loop;
  ThreadHandle first = loop.Start(BoundEntry([&](int32_t) { ++calls; }), 10, 10000, 0, true);
  EXPECT_EQ(loop.Stop(5000), kWaitObject0);
  EXPECT_EQ(calls.load(), 0);
  // Still counts as running: Start hands back the old loop and starts nothing.
  EXPECT_EQ(loop.Start(BoundEntry([&](int32_t) { ++calls; }), 1, 0, 0, true), first);
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(calls.load(), 0);
  EXPECT_EQ(loop.Stop(), PeriodicThread::kNoSuchThread);
}

TEST_F(PeriodicThreadTest, StartOnARunningLoopKeepsItsPeriod) {
  std::atomic<int> calls{0};
  PeriodicThread loop;
  ThreadHandle h = loop.Start(BoundEntry([&](int32_t) { ++calls; }), 10000, 0, 0, true);
  EXPECT_EQ(loop.Start(BoundEntry([](int32_t) {}), 1, 0, 0, true), h);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(calls.load(), 1);  // a 1 ms period would have called many times
  loop.SetPeriod(1);           // used from the next sleep, which is 10 s away
  EXPECT_EQ(loop.Stop(5000), kWaitObject0);
}

TEST_F(PeriodicThreadTest, SuspendHoldsTheLoopUntilResume) {
  std::atomic<int> calls{0};
  PeriodicThread loop;
  loop.Start(BoundEntry([&](int32_t) { ++calls; }), 2, 0, 0, true);
  ASSERT_TRUE(testing::WaitFor([&] { return calls >= 2; }, 10s, "two calls"));
  ASSERT_TRUE(loop.Suspend());
  EXPECT_FALSE(loop.Suspend());
  // One call may already have been past the hold; at a 2 ms period an
  // unheld loop would make many more.
  int held = calls;
  std::this_thread::sleep_for(60ms);
  EXPECT_LE(calls.load(), held + 1);
  ASSERT_TRUE(loop.Resume());
  ASSERT_TRUE(
      testing::WaitFor([&] { return calls >= held + 3; }, 10s, "three calls after the resume"));
  // Stop reaches a held loop too, without one more call.
  ASSERT_TRUE(loop.Suspend());
  std::this_thread::sleep_for(20ms);
  held = calls;
  EXPECT_EQ(loop.Stop(5000), kWaitObject0);
  EXPECT_LE(calls.load(), held + 1);
}

TEST_F(PeriodicThreadTest, DestroyWaitsForSpawnedAndTerminatedCalls) {
  // Each call touches `counter`, which dies right after the loop object: the
  // object must not go while a call it started still runs.
  auto counter = std::make_unique<std::atomic<int>>(0);
  {
    std::atomic<int> begun{0};
    PeriodicThread spawner;
    spawner.Start(BoundEntry([&begun, c = counter.get()](int32_t) {
                    ++begun;
                    std::this_thread::sleep_for(30ms);
                    ++*c;
                  }),
                  1, 0, 0, false);
    ASSERT_TRUE(testing::WaitFor([&] { return begun >= 3; }, 10s, "three spawned calls"));
  }
  int spawned = *counter;
  EXPECT_GT(spawned, 0);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(counter->load(), spawned);
  {
    std::atomic<bool> inside{false};
    PeriodicThread direct;
    direct.Start(BoundEntry([&, c = counter.get()](int32_t) {
                   inside = true;
                   std::this_thread::sleep_for(100ms);
                   ++*c;
                 }),
                 1, 0, 0, true);
    ASSERT_TRUE(testing::WaitFor([&] { return inside.load(); }, 10s, "the direct call to begin"));
    EXPECT_TRUE(direct.Terminate());  // returns at once
    EXPECT_EQ(direct.Thread(), nullptr);
    EXPECT_EQ(counter->load(), spawned);
  }
  EXPECT_EQ(counter->load(), spawned + 1);
  counter.reset();
}

TEST(TargetFileTest, CombinesSmallChunksAndWritesLargeOnesDirectly) {
  testing::TempFolder folder;
  std::string path = folder.File("combined.bin");
  std::string data = testing::Pattern(100 + 200 + 16384 + 16384 + 10000 + 300 + 10240 + 7);
  TargetFile file;
  ASSERT_TRUE(file.Open(path));
  size_t at = 0;
  auto append = [&](size_t size) {
    bool ok = file.Append(data.data() + at, size);
    at += size;
    return ok;
  };
  ASSERT_TRUE(append(100));
  ASSERT_TRUE(append(200));
  EXPECT_EQ(file.WriteCalls(), 0);
  EXPECT_EQ(file.PendingBytes(), 300u);
  // Larger than the buffer while bytes are pending: those go first, then the
  // chunk itself, without passing through the buffer.
  ASSERT_TRUE(append(16384));
  EXPECT_EQ(file.WriteCalls(), 2);
  EXPECT_EQ(file.WrittenBytes(), 300 + 16384);
  EXPECT_EQ(file.PendingBytes(), 0u);
  ASSERT_TRUE(append(16384));  // nothing pending: straight to the file
  EXPECT_EQ(file.WriteCalls(), 3);
  ASSERT_TRUE(append(10000));
  ASSERT_TRUE(append(300));  // does not fit behind the 10000: they go first
  EXPECT_EQ(file.WriteCalls(), 4);
  EXPECT_EQ(file.PendingBytes(), 300u);
  ASSERT_TRUE(append(10240));  // a buffer's worth behind pending bytes
  EXPECT_EQ(file.WriteCalls(), 6);
  ASSERT_TRUE(append(7));
  EXPECT_EQ(file.Capacity(), 10240u);  // never grown
  ASSERT_TRUE(file.Flush());
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(testing::ReadFile(path), data);
}

TEST(TargetFileTest, OnlyARegularFileIsWrittenAndNoLinkIsFollowed) {
  testing::TempFolder folder;
  testing::WriteFile(folder.File("plain"), "x");
  TargetFile underAFile;
  EXPECT_FALSE(underAFile.Open(folder.File("plain") + "/sub/file.iso"));
  EXPECT_FALSE(underAFile.Error().empty());
  EXPECT_FALSE(underAFile.NotARegularFile());

  std::filesystem::create_directory(folder.File("folder.part"));
  TargetFile folderPart;
  EXPECT_FALSE(folderPart.Open(folder.File("folder.part")));
  EXPECT_TRUE(folderPart.NotARegularFile());
#if !defined(_WIN32)
  // A link to someone else's file: refused, and that file keeps every byte.
  testing::WriteFile(folder.File("victim"), "keep me");
  std::filesystem::create_symlink(folder.File("victim"), folder.File("link.part"));
  TargetFile link;
  EXPECT_FALSE(link.Open(folder.File("link.part")));
  EXPECT_TRUE(link.NotARegularFile());
  EXPECT_EQ(testing::ReadFile(folder.File("victim")), "keep me");
  // Devices and FIFOs neither (a FIFO would block an open for writing).
  ASSERT_EQ(mkfifo(folder.File("fifo.part").c_str(), 0600), 0);
  for (const std::string& path : {std::string("/dev/full"), folder.File("fifo.part")}) {
    TargetFile special;
    EXPECT_FALSE(special.Open(path)) << path;
    EXPECT_TRUE(special.NotARegularFile()) << path;
  }
#endif
}

}  // namespace
}  // namespace tw
