#include "measure/ks_timer.h"

#include <gtest/gtest.h>
#ifdef __linux__
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/virtual_clock.h"
#include "measure/timer_service.h"

namespace orvel::measure {
namespace {

// Collects posted ticks; thread-safe, with an optional gate that holds the
// timer thread inside its callback.
class CollectingPoster final : public TickPoster {
 public:
  void PostTick(std::uint32_t n) override {
    std::unique_lock lock(mutex);
    posted.push_back(n);
    changed.notify_all();
    changed.wait(lock, [&] { return !hold; });
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(5), [&] { return posted.size() >= count; });
  }
  void Release() {
    std::lock_guard lock(mutex);
    hold = false;
    changed.notify_all();
  }
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::uint32_t> posted;
  bool hold = false;
};

class ManualTimerTest : public ::testing::Test {
 protected:
  // Moves virtual time to `ms` after the start, firing timers on the way.
  void RunTo(std::int64_t ms) {
    for (;;) {
      const std::int64_t due = timers.NextDueMicros();
      if (due < 0 || due > ms * 1000) break;
      clock.Advance(due - clock.MonotonicMicros());
      timers.FireDue();
    }
    clock.Advance(ms * 1000 - clock.MonotonicMicros());
  }
  core::VirtualClock clock;
  ManualTimerService timers{clock};
  CollectingPoster poster;
  TksTimer tmrg{timers, poster};
};

TEST_F(ManualTimerTest, FirstTickAfterDueTimeThenEveryPeriod) {
  EXPECT_FALSE(tmrg.Enabled());
  tmrg.SetDueTime(1000);
  tmrg.SetPeriod(250);
  tmrg.SetEnabled(true);
  RunTo(999);
  EXPECT_TRUE(poster.posted.empty());
  RunTo(1000);
  EXPECT_EQ(poster.posted, (std::vector<std::uint32_t>{1}));
  RunTo(1500);
  EXPECT_EQ(poster.posted, (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_EQ(tmrg.ThreadCount(), 3u);
}

TEST_F(ManualTimerTest, DueTimeAndPeriodAreIgnoredWhileRunning) {
  tmrg.SetEnabled(true);
  tmrg.SetDueTime(10);
  tmrg.SetPeriod(10);
  EXPECT_EQ(tmrg.DueTime(), 1000u);
  EXPECT_EQ(tmrg.Period(), 1000u);
  tmrg.SetEnabled(false);
  tmrg.SetPeriod(10);
  EXPECT_EQ(tmrg.Period(), 10u);
}

TEST_F(ManualTimerTest, EnablingResetsBothCountersDisablingStopsTicks) {
  tmrg.SetEnabled(true);
  RunTo(3000);
  tmrg.TimerWndProc(poster.posted.back());
  EXPECT_EQ(tmrg.Count(), 3u);
  tmrg.SetEnabled(false);
  RunTo(10000);
  EXPECT_EQ(poster.posted.size(), 3u);
  tmrg.SetEnabled(true);
  EXPECT_EQ(tmrg.Count(), 0u);
  EXPECT_EQ(tmrg.ThreadCount(), 0u);
  RunTo(11000);
  EXPECT_EQ(poster.posted.back(), 1u);
}

TEST_F(ManualTimerTest, HandlerRunsWithTheSenderAndItsExceptionGoesToTheHandler) {
  int calls = 0;
  std::string caught;
  tmrg.OnTimer = [&](TksTimer& sender) {
    EXPECT_EQ(&sender, &tmrg);
    ++calls;
    throw std::runtime_error("boom");
  };
  tmrg.OnException = [&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      caught = ex.what();
    }
  };
  tmrg.TimerWndProc(7);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(caught, "boom");
  EXPECT_EQ(tmrg.Count(), 7u);
}

TEST(ThreadTimerTest, CountsTicksOnItsThreadInOrder) {
  ThreadTimerService service;
  CollectingPoster poster;
  TksTimer tmrg{service, poster};
  tmrg.SetDueTime(2);
  tmrg.SetPeriod(2);
  tmrg.SetEnabled(true);
  ASSERT_TRUE(poster.WaitFor(3));
  tmrg.SetEnabled(false);
  std::lock_guard lock(poster.mutex);
  for (std::size_t i = 0; i < poster.posted.size(); ++i) EXPECT_EQ(poster.posted[i], i + 1);
}

TEST(ThreadTimerTest, DisablingDoesNotWaitForACallbackInProgress) {
  ThreadTimerService service;
  CollectingPoster poster;
  poster.hold = true;  // the callback blocks until released
  TksTimer tmrg{service, poster};
  tmrg.SetDueTime(1);
  tmrg.SetEnabled(true);
  ASSERT_TRUE(poster.WaitFor(1));
  tmrg.SetEnabled(false);  // would dead-lock if it waited for the callback
  EXPECT_FALSE(tmrg.Enabled());
  tmrg.SetDueTime(60000);
  tmrg.SetEnabled(true);  // a new timer while the old callback still runs
  EXPECT_EQ(tmrg.ThreadCount(), 0u);
  poster.Release();
  tmrg.SetEnabled(false);
}

TEST(ThreadTimerTest, DestructionWaitsForACallbackInProgressAndNothingPostsAfter) {
  ThreadTimerService service;
  CollectingPoster poster;
  poster.hold = true;
  auto tmrg = std::make_unique<TksTimer>(service, poster);
  tmrg->SetDueTime(1);
  tmrg->SetPeriod(1);
  tmrg->SetEnabled(true);
  ASSERT_TRUE(poster.WaitFor(1));  // the timer thread is now inside PostTick
  std::atomic<bool> destroyed{false};
  std::thread closer([&] {
    tmrg.reset();
    destroyed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(destroyed.load()) << "the poster could be freed under a running callback";
  poster.Release();
  closer.join();
  EXPECT_TRUE(destroyed.load());
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::lock_guard lock(poster.mutex);
  EXPECT_EQ(poster.posted.size(), 1u);
}

TEST(ThreadTimerTest, ReEnablingDoesNotStartAThreadPerTick) {
#ifdef __linux__
  // The poll handler stops and restarts its timer on every tick: over a
  // months-long run a thread per restart would cost millions of thread
  // starts, each of which may fail and leave polling off for good.
  ThreadTimerService service;
  std::mutex mutex;
  std::condition_variable fired;
  std::set<long> threads;
  int calls = 0;
  for (int i = 0; i < 10; ++i) {
    auto handle = service.Create(1, 0, [&] {
      std::lock_guard lock(mutex);
      threads.insert(static_cast<long>(::syscall(SYS_gettid)));
      ++calls;
      fired.notify_all();
    });
    ASSERT_NE(handle, nullptr);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(fired.wait_for(lock, std::chrono::seconds(5), [&] { return calls == i + 1; }));
  }
  EXPECT_EQ(threads.size(), 1u);
#else
  GTEST_SKIP() << "kernel thread ids are read on Linux only";
#endif
}

TEST(ThreadTimerTest, AHandleStopsItsTimerAndTheOthersGoOn) {
  ThreadTimerService service;
  std::atomic<int> stopped{0};
  std::atomic<int> running{0};
  auto first = service.Create(1, 1, [&] { ++stopped; });
  auto second = service.Create(1, 1, [&] { ++running; });
  while (stopped.load() < 2) std::this_thread::yield();
  first.reset();
  const int atStop = stopped.load();
  const int before = running.load();
  while (running.load() < before + 3) std::this_thread::yield();
  EXPECT_LE(stopped.load(), atStop + 1);  // at most the one that was already running
}

}  // namespace
}  // namespace orvel::measure
