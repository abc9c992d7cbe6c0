#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <set>

#include "core/memory_controls.h"
#include "core/virtual_clock.h"
#include "measure/fakes.h"
#include "measure/measurement_cycle.h"
#include "measure/poll_loop.h"
#include "measure/station.h"
#include "measure/time_stamp.h"
#include "onewire/bus_scanner.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/simulated_driver.h"
#include "support/fake_platform.h"
#include "support/recording_tmex.h"

namespace orvel::measure {
namespace {

using testing::FakeJournalFiles;
using testing_support::FakeDialogs;
using testing_support::FakePump;

constexpr const char* kBus = R"({
  "devices": [
    { "family": "28", "serial": "0000012A3B4C", "temperature": 23.5 },
    { "family": "28", "serial": "0000012A3B4D", "temperature": -10.25 },
    { "family": "26", "serial": "000000A1B2C3", "temperature": 24.0, "vdd": 5.0, "rh": 45.0 },
    { "family": "19", "serial": "0000001D2E3F",
      "i2c": { "hdc": { "temperature": 21.3, "humidity": 45.2, "serial": "0102030405A6" },
               "bmp280": { "temperature": 22.1, "pressure": 100653.27 } } },
    { "family": "19", "serial": "0000001D2E40",
      "i2c": { "sht": { "temperature": 19.0, "humidity": 55.0, "serial": "1A2B3C4D" } } }
  ]
})";

class QueuePoster final : public TickPoster {
 public:
  void PostTick(std::uint32_t n) override { queue.push_back(n); }
  std::deque<std::uint32_t> queue;
};

std::string RomOf(std::uint8_t family, std::uint64_t serial) {
  return onewire::RomText(onewire::MakeRom(family, serial));
}

// Positions of the closing broadcast (Skip ROM, then 0x1E) in a transcript.
std::vector<std::size_t> Broadcasts(const std::vector<std::string>& calls) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
    if (calls[i].rfind("TMTouchByte(CC)", 0) == 0 &&
        calls[i + 1].rfind("TMTouchByte(1E)", 0) == 0) {
      at.push_back(i);
    }
  }
  return at;
}

// Splits a journal file into (stamp, value) pairs, checking each line's form.
std::vector<std::pair<std::string, double>> Lines(const std::string& text) {
  std::vector<std::pair<std::string, double>> out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find("\r\n", pos);
    EXPECT_NE(end, std::string::npos) << "line without CR LF";
    if (end == std::string::npos) break;
    const std::string line = text.substr(pos, end - pos);
    EXPECT_EQ(line.substr(19, 3), " ; ") << line;
    std::string value = line.substr(22);
    for (char& c : value) c = c == ',' ? '.' : c;
    out.emplace_back(line.substr(0, 19), std::strtod(value.c_str(), nullptr));
    pos = end + 2;
  }
  return out;
}

// The station on a simulated bus, its ticks delivered in virtual time.
class StationSimTest : public ::testing::Test {
 protected:
  explicit StationSimTest(const char* bus = kBus) : driver(clock, sim::ParseBusFile(bus, "bus")) {
    station.poll().OnPollEnd = [this] { pollEnds.push_back(clock.Now()); };
    station.FillPortAndAdapterLists();
    station.Start();
  }

  // Delivers ticks until `polls` polls have ended (or the timer stops).
  void RunPolls(std::size_t polls) {
    while (pollEnds.size() < polls) {
      while (!poster.queue.empty()) {
        const std::uint32_t n = poster.queue.front();
        poster.queue.pop_front();
        station.Tick(n);
      }
      const std::int64_t due = timers.NextDueMicros();
      if (due < 0) return;
      clock.Advance(due - clock.MonotonicMicros());
      timers.FireDue();
    }
  }
  void RunTicks(int ticks) {
    for (int i = 0; i < ticks; ++i) {
      const std::int64_t due = timers.NextDueMicros();
      if (due < 0) return;
      clock.Advance(due - clock.MonotonicMicros());
      timers.FireDue();
      while (!poster.queue.empty()) {
        const std::uint32_t n = poster.queue.front();
        poster.queue.pop_front();
        station.Tick(n);
      }
    }
  }
  std::string File(const std::string& prefix, const std::string& rom) {
    auto it = files.files.find("/j/" + prefix + rom + ".csv");
    return it == files.files.end() ? std::string() : it->second;
  }
  // Index of the poll a stamp belongs to.
  std::size_t PollOf(const std::string& stamp) const {
    for (std::size_t i = 0; i < pollEnds.size(); ++i) {
      if (stamp <= JournalStamp(pollEnds[i], separators)) return i;
    }
    return pollEnds.size();
  }

  core::VirtualClock clock;
  sim::SimulatedDriver driver;
  testing_support::RecordingTmex tmex{driver.tmex()};
  ManualTimerService timers{clock};
  QueuePoster poster;
  FakePump pump;
  FakeDialogs dialogs;
  FakeJournalFiles files;
  core::LocaleSeparators separators{',', '.', ':'};
  core::MemoryText stat1{"Не подключен"}, lblTvalue{"--,--"}, lblHvalue{"--,--"}, edtSNHDC,
      lblValT28e17{"--,--"}, lblValH28e17{"--,--"}, lblValP28e17{"--,--"}, lblValPTds28e17{"--,--"},
      lblBackTimer{"---"};
  core::MemoryList cbbPort, cbAdapter, cmb1820, cmbhlt, cmbds28e17;
  core::MemoryShape shpindik, shpTimer;
  Station station{tmex,
                  StationControls{{stat1, cbbPort, cbAdapter},
                                  {cmb1820, lblTvalue, cmbhlt, lblHvalue, cmbds28e17, edtSNHDC,
                                   lblValT28e17, lblValH28e17, lblValP28e17, lblValPTds28e17},
                                  {shpindik, shpTimer, lblBackTimer}},
                  StationPlatform{clock, pump, dialogs, separators, timers, poster, files},
                  core::StartupSettings{true, "/j", 5}};
  std::vector<core::DateTime> pollEnds;
};

TEST_F(StationSimTest, WholePollsJournalEveryDeviceOncePerCycle) {
  RunPolls(3);
  ASSERT_EQ(pollEnds.size(), 3u);
  EXPECT_EQ(stat1.Text(), "Адаптер найден");
  EXPECT_EQ(shpindik.GetColor(), core::kLime);
  EXPECT_TRUE(dialogs.notices.empty()) << dialogs.notices.front();

  const std::string t1 = RomOf(0x28, 0x12A3B4C), t2 = RomOf(0x28, 0x12A3B4D);
  const std::string h = RomOf(0x26, 0xA1B2C3);
  const std::string b1 = RomOf(0x19, 0x1D2E3F), b2 = RomOf(0x19, 0x1D2E40);
  struct Expect {
    std::string prefix, rom;
    double value, tolerance;
  };
  const Expect expected[] = {
      {"t_", t1, 23.5, 0.0},  {"t_", t2, -10.25, 0.0}, {"h_", h, 45.0, 1.0},
      {"t_", b1, 21.3, 0.02}, {"h_", b1, 45.2, 0.02},  {"p_", b1, 100.65, 0.01},
      {"t_", b2, 19.0, 0.02}, {"h_", b2, 55.0, 0.02},
  };
  for (const Expect& e : expected) {
    const auto lines = Lines(File(e.prefix, e.rom));
    ASSERT_EQ(lines.size(), 3u) << e.prefix << e.rom;
    std::set<std::size_t> polls;
    for (const auto& [stamp, value] : lines) {
      EXPECT_NEAR(value, e.value, e.tolerance) << e.prefix << e.rom;
      polls.insert(PollOf(stamp));
    }
    EXPECT_EQ(polls.size(), 3u) << "one line per cycle: " << e.prefix << e.rom;
  }
  EXPECT_EQ(files.files.size(), std::size(expected));
  // Polls LogInterval apart, counted from the end of the previous scan.
  EXPECT_GE(core::SecsOf(pollEnds[1]) - core::SecsOf(pollEnds[0]), 5);
  // The cycle ends with the Skip ROM broadcast.
  EXPECT_EQ(Broadcasts(tmex.calls()).size(), 3u);
  const auto bytes = tmex.Bytes();
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_THAT(bytes.back(), ::testing::StartsWith("TMTouchByte(1E)"));
}

TEST_F(StationSimTest, FailedSelectionsLeaveNoStaleValuesInTheJournal) {
  // Polls 2 and 4 (from 1): no device answers its selection.
  tmex.SetHook([this](const std::string& op, int, std::int32_t* result) {
    const std::size_t poll = pollEnds.size() + 1;
    if (op == "TMStrongAccess" && (poll == 2 || poll == 4)) {
      *result = 0;
      return true;
    }
    return false;
  });
  RunPolls(5);
  ASSERT_EQ(pollEnds.size(), 5u);
  const std::string selectedBridge = ItemRomText(cmbds28e17.Text());
  std::size_t checked = 0;
  for (const auto& [path, text] : files.files) {
    const auto lines = Lines(text);
    const bool selectedNoSensor =
        path.find(selectedBridge) != std::string::npos &&
        (path.find("/t_") != std::string::npos || path.find("/h_") != std::string::npos);
    for (const auto& [stamp, value] : lines) {
      const std::size_t poll = PollOf(stamp) + 1;
      if (poll == 2 || poll == 4) {
        // Only the specified "no sensor" marker of the selected bridge.
        EXPECT_TRUE(selectedNoSensor) << path << " " << stamp;
        const bool temperature = path.find("/t_") != std::string::npos;
        EXPECT_EQ(value, temperature ? -51.0 : 0.0) << path;
      }
      ++checked;
    }
    EXPECT_EQ(lines.size(), selectedNoSensor ? 5u : 3u) << path;
  }
  EXPECT_GT(checked, 20u);
}

TEST_F(StationSimTest, CloseDuringAThermometerWaitStopsTheCycleAndClosesTheDriver) {
  // The enumeration lets messages through too; wait for the cycle's first
  // wait, which comes once the lists have been built.
  pump.hook = [this](int) {
    if (cmb1820.Count() > 0 && station.flagExit() == kRunning) station.FormCloseQuery();
  };
  RunPolls(1);
  EXPECT_EQ(station.flagExit(), kCloseRequested);
  EXPECT_TRUE(Broadcasts(tmex.calls()).empty()) << "the broadcast was sent after a close request";
  std::size_t lines = 0;
  for (const auto& [path, text] : files.files) lines += Lines(text).size();
  EXPECT_LE(lines, 1u) << "devices after the close request were read";
  RunTicks(2);
  EXPECT_EQ(station.flagExit(), kDriverClosed);
  EXPECT_THAT(tmex.calls().back(), ::testing::StartsWith("TMClose"));
  EXPECT_FALSE(station.tmrg().Enabled());
}

TEST_F(StationSimTest, RescanAskedDuringAPollRunsAfterIt) {
  bool asked = false;
  pump.hook = [&](int) {
    if (!asked && cmb1820.Count() > 0) {
      asked = true;
      station.RescanRequested();
    }
  };
  RunPolls(1);
  std::vector<std::string> order;
  const auto broadcasts = Broadcasts(tmex.calls());
  for (std::size_t i = 0; i < tmex.calls().size(); ++i) {
    if (tmex.calls()[i].rfind("TMFirst", 0) == 0) order.push_back("scan");
    if (std::count(broadcasts.begin(), broadcasts.end(), i) > 0) order.push_back("sleep");
  }
  EXPECT_THAT(order, ::testing::ElementsAre("scan", "sleep", "scan"));
}

}  // namespace
}  // namespace orvel::measure
