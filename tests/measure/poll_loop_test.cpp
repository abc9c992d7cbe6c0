#include "measure/poll_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>

#include "core/memory_controls.h"
#include "core/virtual_clock.h"
#include "measure/fakes.h"
#include "measure/timer_service.h"
#include "support/fake_platform.h"

namespace orvel::measure {
namespace {

using ::testing::ElementsAre;
using testing_support::FakeDialogs;

class QueuePoster final : public TickPoster {
 public:
  void PostTick(std::uint32_t n) override { queue.push_back(n); }
  std::deque<std::uint32_t> queue;
};

// The poll loop on a virtual clock, its ticks delivered as the console
// logger's loop delivers them.
class PollLoopTest : public ::testing::Test {
 protected:
  PollLoopTest() {
    settings = {true, "/j", 30};
    lblBackTimer.SetText("---");
    tmrg.OnTimer = [this](TksTimer&) { poll.tmrgTimer(); };
    poll.OnPollEnd = [this] { events.push_back("end"); };
  }

  // Delivers ticks until virtual time `seconds` after the start.
  void RunFor(double seconds) {
    const auto end = static_cast<std::int64_t>(seconds * 1e6);
    for (;;) {
      while (!poster.queue.empty()) {
        const std::uint32_t n = poster.queue.front();
        poster.queue.pop_front();
        tmrg.TimerWndProc(n);
      }
      const std::int64_t due = timers.NextDueMicros();
      if (due < 0 || due > end) break;
      clock.Advance(due - clock.MonotonicMicros());
      timers.FireDue();
    }
    if (clock.MonotonicMicros() < end) clock.Advance(end - clock.MonotonicMicros());
  }
  int Count(const std::string& e) const {
    return static_cast<int>(std::count(events.begin(), events.end(), e));
  }

  core::VirtualClock clock;  // 2026-12-07 12:00:00
  ManualTimerService timers{clock};
  QueuePoster poster;
  TksTimer tmrg{timers, poster};
  core::MemoryShape shpindik, shpTimer;
  core::MemoryText lblBackTimer;
  FakeDialogs dialogs;
  core::StartupSettings settings;
  core::DateTime lastTimeConvert = 0.0;
  std::int16_t flagExit = kRunning;
  std::vector<std::string> events;
  std::int16_t scanResult = 1;
  // What each scan reports, in turn; the last stays.
  std::deque<bool> countChanged{false};
  bool silent = false;
  bool redraw = false;
  std::vector<bool> rebuilds;
  std::function<void()> duringRefresh;
  std::vector<std::string> countdown;
  PollLoop poll{tmrg,
                PollSteps{[this]() -> std::int16_t {
                            events.push_back("scan");
                            redraw = countChanged.front();
                            if (countChanged.size() > 1) countChanged.pop_front();
                            return scanResult;
                          },
                          [this] { return redraw; },
                          [this](bool rebuild) {
                            events.push_back("refresh");
                            rebuilds.push_back(rebuild);
                            if (duringRefresh) duringRefresh();
                          },
                          [this] { events.push_back("close"); }, [this] { return silent; },
                          [this] { events.push_back("clear"); }, {}},
                PollControls{shpindik, shpTimer, lblBackTimer},
                clock,
                dialogs,
                settings,
                lastTimeConvert,
                flagExit};
};

TEST_F(PollLoopTest, FirstTickPollsAtOnceWithoutACountdown) {
  tmrg.SetEnabled(true);
  RunFor(0.999);
  EXPECT_TRUE(events.empty());
  RunFor(1.0);
  EXPECT_THAT(events, ElementsAre("scan", "refresh", "end"));
  EXPECT_EQ(lblBackTimer.Text(), "---");
  EXPECT_EQ(shpindik.GetColor(), core::kLime);
  EXPECT_TRUE(tmrg.Enabled());
  // The deadline is a whole second, LogInterval ahead of the poll's start.
  EXPECT_EQ(core::SecsOf(lastTimeConvert), core::SecsOf(clock.Now()) + 30);
  EXPECT_EQ(lastTimeConvert, core::FromSecs(core::SecsOf(clock.Now()) + 30));
}

TEST_F(PollLoopTest, CountdownRunsToZeroAndThatTickPolls) {
  lblBackTimer.SetText("---");
  std::vector<std::string> shown;
  tmrg.SetEnabled(true);
  RunFor(1.0);
  for (int s = 2; s <= 31; ++s) {
    RunFor(s);
    shown.push_back(lblBackTimer.Text());
  }
  EXPECT_EQ(shown.front(), "29");
  EXPECT_EQ(shown[28], "1");
  EXPECT_EQ(shown.back(), "0");
  EXPECT_EQ(Count("scan"), 2);
}

TEST_F(PollLoopTest, ShortIntervalsShowNoCountdown) {
  for (int interval : {1, 2, 3, 4}) {
    settings.LogInterval = interval;
    events.clear();
    lastTimeConvert = 0;
    tmrg.SetEnabled(false);
    tmrg.SetEnabled(true);
    const double start = static_cast<double>(clock.MonotonicMicros()) / 1e6;
    RunFor(start + 12.0);
    EXPECT_EQ(lblBackTimer.Text(), "---") << interval;
    EXPECT_EQ(Count("scan"), 12 / interval) << interval;
  }
}

TEST_F(PollLoopTest, IntervalZeroPollsOnEveryTick) {
  settings.LogInterval = 0;
  tmrg.SetEnabled(true);
  RunFor(5.0);
  EXPECT_EQ(Count("scan"), 5);
}

TEST_F(PollLoopTest, FailedScanPaintsRedAndRetriesOnTheNextTick) {
  scanResult = 0;
  tmrg.SetEnabled(true);
  RunFor(3.0);
  EXPECT_EQ(Count("scan"), 3);
  EXPECT_EQ(Count("refresh"), 0);
  EXPECT_EQ(shpindik.GetColor(), core::kRed);
  scanResult = 1;
  RunFor(4.0);
  EXPECT_EQ(shpindik.GetColor(), core::kLime);
  RunFor(10.0);
  EXPECT_EQ(Count("scan"), 4);
}

TEST_F(PollLoopTest, ExceptionFromTheCycleIsShownAndPollingGoesOn) {
  settings.LogInterval = 0;
  duringRefresh = [] { throw std::runtime_error("cycle failed"); };
  tmrg.SetEnabled(true);
  RunFor(1.0);
  EXPECT_EQ(dialogs.notices, std::vector<std::string>{"cycle failed"});
  EXPECT_TRUE(tmrg.Enabled()) << "one bad cycle stopped polling";
  duringRefresh = nullptr;
  RunFor(3.0);
  EXPECT_EQ(Count("scan"), 3);
}

TEST_F(PollLoopTest, TickDeliveredDuringAPollIsDropped) {
  settings.LogInterval = 0;
  duringRefresh = [this] {
    poll.tmrgTimer();  // a tick queued before the poll stopped the timer
    events.push_back(poll.BusBusy() ? "busy" : "idle");
  };
  tmrg.SetEnabled(true);
  RunFor(1.0);
  EXPECT_THAT(events, ElementsAre("scan", "refresh", "busy", "end"));
  EXPECT_TRUE(tmrg.Enabled());
}

TEST_F(PollLoopTest, RescanDuringAPollRunsOnceAfterIt) {
  duringRefresh = [this] {
    poll.RescanRequested();
    poll.RescanRequested();
    events.push_back("asked");
  };
  tmrg.SetEnabled(true);
  RunFor(1.0);
  EXPECT_THAT(events, ElementsAre("scan", "refresh", "asked", "scan", "end"));
}

TEST_F(PollLoopTest, RescanWhileIdleRunsAtOnceAndNotAfterClose) {
  poll.RescanRequested();
  EXPECT_THAT(events, ElementsAre("scan"));
  EXPECT_FALSE(poll.BusBusy());
  poll.FormCloseQuery();
  poll.RescanRequested();
  EXPECT_THAT(events, ElementsAre("scan"));
}

// Ctrl+F1 between polls, or during one, sees a new device count; its own
// scan takes the change, so the poll after it must still rebuild.
TEST_F(PollLoopTest, ARescanThatSawANewCountRebuildsAtTheNextPoll) {
  struct Case {
    const char* name;
    bool duringAPoll;
  };
  for (const Case& c : {Case{"idle", false}, Case{"during a poll", true}}) {
    settings.LogInterval = 0;
    events.clear();
    rebuilds.clear();
    countChanged = {false, true, false};  // the poll, the rescan, the poll after
    if (c.duringAPoll) {
      duringRefresh = [this] {
        duringRefresh = nullptr;
        poll.RescanRequested();
      };
      poll.tmrgTimer();
    } else {
      poll.tmrgTimer();
      poll.RescanRequested();
    }
    poll.tmrgTimer();
    poll.tmrgTimer();
    EXPECT_EQ(Count("scan"), 4) << c.name;
    EXPECT_THAT(rebuilds, ElementsAre(false, true, false)) << c.name;
  }
}

TEST_F(PollLoopTest, ASilentBusClearsTheValuesAndReadsNothing) {
  settings.LogInterval = 0;
  silent = true;
  poll.tmrgTimer();
  EXPECT_THAT(events, ElementsAre("scan", "clear", "end"));
  EXPECT_EQ(shpindik.GetColor(), core::kLime);
  // A change of count seen meanwhile waits for a bus that answers.
  countChanged = {true, false};
  poll.RescanRequested();
  poll.tmrgTimer();
  silent = false;
  poll.tmrgTimer();
  EXPECT_THAT(rebuilds, ElementsAre(true));
}

TEST_F(PollLoopTest, IndicatorShowsWhetherThePollTimerRuns) {
  tmrg.SetEnabled(true);
  poll.TimerCheckTmrTimer();
  EXPECT_EQ(shpTimer.GetColor(), core::kGreen);
  duringRefresh = [this] { poll.TimerCheckTmrTimer(); };
  RunFor(1.0);
  EXPECT_EQ(shpTimer.GetColor(), core::kRed) << "the timer is off during a poll";
}

TEST_F(PollLoopTest, CloseRequestClosesTheDriverOnTheNextTick) {
  tmrg.SetEnabled(true);
  RunFor(1.0);
  poll.FormCloseQuery();
  EXPECT_EQ(flagExit, kCloseRequested);
  EXPECT_FALSE(poll.TimerCheckTmrEnabled());
  RunFor(2.0);
  EXPECT_EQ(flagExit, kDriverClosed);
  EXPECT_EQ(Count("close"), 1);
  EXPECT_FALSE(tmrg.Enabled());
  poll.tmrgTimer();  // a late tick does nothing
  EXPECT_EQ(Count("close"), 1);
  EXPECT_EQ(Count("scan"), 1);
}

TEST_F(PollLoopTest, CloseRequestDuringAPollLetsItEndThenCloses) {
  duringRefresh = [this] { poll.FormCloseQuery(); };
  tmrg.SetEnabled(true);
  RunFor(1.0);
  EXPECT_TRUE(tmrg.Enabled());
  RunFor(2.0);
  EXPECT_THAT(events, ElementsAre("scan", "refresh", "end", "close"));
}

TEST_F(PollLoopTest, WallClockGoingBackDoesNotHoldBackThePolls) {
  tmrg.SetEnabled(true);
  RunFor(1.0);
  ASSERT_EQ(Count("scan"), 1);
  // As if the clock had been put back one hour right after that poll.
  lastTimeConvert = core::AddSeconds(lastTimeConvert, 3600);
  RunFor(2.0);
  EXPECT_EQ(Count("scan"), 2);
  EXPECT_EQ(core::SecsOf(lastTimeConvert), core::SecsOf(clock.Now()) + 30);
  // From there on the normal countdown.
  RunFor(3.0);
  EXPECT_EQ(Count("scan"), 2);
  EXPECT_EQ(lblBackTimer.Text(), "29");
}

TEST_F(PollLoopTest, HalfSecondsRoundToEvenInTheDeadline) {
  // 12:00:00.5 is secs ...0.5, which rounds to the even neighbour.
  clock.Advance(500'000);
  settings.LogInterval = 30;
  poll.tmrgTimer();
  const std::int64_t base = core::SecsOf(core::EncodeDateTime({2026, 12, 7, 12, 0, 0, 0}));
  const std::int64_t expected = (base % 2 == 0 ? base : base + 1) + 30;
  EXPECT_EQ(core::SecsOf(lastTimeConvert), expected);
}

}  // namespace
}  // namespace orvel::measure
