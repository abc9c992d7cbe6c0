#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <iostream>
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

// A device plugged in and found by Ctrl+F1 is listed, read and journalled
// by the next poll, although that poll's own scan sees no new count.
TEST_F(StationSimTest, ADeviceFoundByARescanIsServedByTheNextPoll) {
  RunPolls(1);
  ASSERT_EQ(cmb1820.Count(), 2);
  for (auto& d : sim::ParseBusFile(R"({ "devices": [
        { "family": "28", "serial": "0000012A3B50", "temperature": 30.25 } ] })",
                                   "new")
                     .devices) {
    driver.bus().Add(std::move(d));
  }
  const std::string added = RomOf(0x28, 0x12A3B50);
  station.RescanRequested();
  ASSERT_EQ(station.scanner().FoundDev, 6);
  RunPolls(2);
  std::vector<std::string> listed;
  for (int i = 0; i < cmb1820.Count(); ++i) listed.push_back(ItemRomText(cmb1820.Item(i)));
  EXPECT_THAT(listed, ::testing::Contains(added));
  const auto lines = Lines(File("t_", added));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].second, 30.25);
  EXPECT_EQ(PollOf(lines[0].first), 1u);
}

// The adapter answers but no device does: the lists stay, the values shown
// are withdrawn, and nothing is read or journalled.
TEST_F(StationSimTest, ASilentBusShowsNoValuesAndReadsNothing) {
  RunPolls(1);
  ASSERT_NE(lblTvalue.Text(), "--,--");
  ASSERT_NE(lblValT28e17.Text(), "--,--");
  std::size_t journalled = 0;
  for (const auto& [path, text] : files.files) journalled += Lines(text).size();
  for (const std::string& rom :
       {RomOf(0x28, 0x12A3B4C), RomOf(0x28, 0x12A3B4D), RomOf(0x26, 0xA1B2C3),
        RomOf(0x19, 0x1D2E3F), RomOf(0x19, 0x1D2E40)}) {
    ASSERT_TRUE(driver.bus().Remove(*onewire::ParseRomText(rom)));
  }
  tmex.Clear();
  RunPolls(2);
  EXPECT_EQ(stat1.Text(), "Адаптер найден");
  EXPECT_EQ(shpindik.GetColor(), core::kLime);
  for (const core::MemoryText* label :
       {&lblTvalue, &lblHvalue, &lblValT28e17, &lblValH28e17, &lblValP28e17, &lblValPTds28e17}) {
    EXPECT_EQ(label->Text(), "--,--");
  }
  EXPECT_EQ(cmb1820.Count(), 2);
  EXPECT_EQ(cmbds28e17.Count(), 2);
  for (const auto& call : tmex.calls()) {
    EXPECT_TRUE(call.rfind("TMStrongAccess", 0) != 0 && call.rfind("TMTouchByte", 0) != 0)
        << "bus traffic to a silent bus: " << call;
  }
  std::size_t after = 0;
  for (const auto& [path, text] : files.files) after += Lines(text).size();
  EXPECT_EQ(after, journalled);
}

// A session start without a handle is no scan: red, and the adapter status.
TEST_F(StationSimTest, ASessionStartWithoutAHandleFailsThePoll) {
  RunPolls(1);
  ASSERT_EQ(shpindik.GetColor(), core::kLime);
  tmex.SetHook([](const std::string& op, int, std::int32_t* result) {
    if (op != "TMExtendedStartSession") return false;
    *result = 0;
    return true;
  });
  tmex.Clear();
  RunPolls(2);
  EXPECT_EQ(stat1.Text(), " Проверьте подключение адаптера 1Wire!!!");
  EXPECT_EQ(shpindik.GetColor(), core::kRed);
  EXPECT_EQ(station.scanner().FoundDev, 0);
  for (const auto& call : tmex.calls()) {
    EXPECT_EQ(call.rfind("TMStrongAccess", 0), std::string::npos) << call;
  }
}

// Every sensor kind on a line that spoils 2 % of the bytes the devices send.
constexpr const char* kNoisyBus = R"({
  "devices": [
    { "family": "28", "serial": "0000012A3B4C", "temperature": 23.5,
      "faults": { "crc_error_rate": 0.02, "seed": 11 } },
    { "family": "10", "serial": "0000012A3B4E", "temperature": -10.25,
      "faults": { "crc_error_rate": 0.02, "seed": 12 } },
    { "family": "26", "serial": "000000A1B2C3", "temperature": 24.0, "vdd": 5.0, "rh": 45.0,
      "faults": { "crc_error_rate": 0.02, "seed": 13 } },
    { "family": "19", "serial": "0000001D2E3F",
      "i2c": { "hdc": { "temperature": 21.3, "humidity": 45.2, "serial": "0102030405A6" },
               "bmp280": { "temperature": 22.1, "pressure": 100653.27 } },
      "faults": { "crc_error_rate": 0.02, "seed": 14 } },
    { "family": "19", "serial": "0000001D2E40",
      "i2c": { "sht": { "temperature": 19.0, "humidity": 55.0, "serial": "1A2B3C4D" } },
      "faults": { "crc_error_rate": 0.02, "seed": 15 } },
    { "family": "19", "serial": "0000001D2E41",
      "i2c": { "sts": { "temperature": 22.5, "serial": "5E6F7A8B" } },
      "faults": { "crc_error_rate": 0.02, "seed": 16 } }
  ]
})";

class NoisyStationTest : public StationSimTest {
 protected:
  NoisyStationTest() : StationSimTest(kNoisyBus) {}
};

// ORVEL_NOISY_POLLS sets a longer run by hand.
std::size_t NoisyPolls() {
  const char* text = std::getenv("ORVEL_NOISY_POLLS");
  return text != nullptr ? std::strtoul(text, nullptr, 10) : 200;
}

TEST_F(NoisyStationTest, NoCorruptedValueReachesTheJournal) {
  const std::size_t polls = NoisyPolls();
  RunPolls(polls);
  ASSERT_EQ(pollEnds.size(), polls);
  const std::string b1 = RomOf(0x19, 0x1D2E3F);
  // Only the selected bridge writes the no-sensor lines.
  const std::string selectedBridge = ItemRomText(cmbds28e17.Text());
  // The chip's step plus the rounding to the journal's two decimals.
  constexpr double kJournal = 0.005;
  constexpr double kModuleStep = 0.01 / (5.0 * 0.00636) + 0.05;  // 10 mV of 5 V, one decimal
  struct Expect {
    std::string prefix, rom;
    double value, tolerance;
  };
  const Expect expected[] = {
      {"t_", RomOf(0x28, 0x12A3B4C), 23.5, 0.0625 + kJournal},
      {"t_", RomOf(0x10, 0x12A3B4E), -10.25, 0.0625 + kJournal},
      {"h_", RomOf(0x26, 0xA1B2C3), 45.0, kModuleStep + kJournal},
      {"t_", b1, 21.3, 165.0 / 16384 + 0.005 + kJournal},
      {"h_", b1, 45.2, 100.0 / 16384 + 0.05 + kJournal},
      {"p_", b1, 100.65, 0.01 + kJournal},
      {"t_", RomOf(0x19, 0x1D2E40), 19.0, 175.0 / 65535 + kJournal},
      {"h_", RomOf(0x19, 0x1D2E40), 55.0, 100.0 / 65535 + kJournal},
      {"t_", RomOf(0x19, 0x1D2E41), 22.5, 175.0 / 65535 + kJournal},
  };
  std::size_t accepted = 0, codes = 0;
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.prefix + e.rom);
    const bool module = e.rom == RomOf(0x26, 0xA1B2C3);
    const bool noSensorLines = e.rom == selectedBridge && e.prefix != "p_";
    const auto lines = Lines(File(e.prefix, e.rom));
    std::size_t good = 0;
    for (const auto& [stamp, value] : lines) {
      const bool faultCode = module && (value == 0.0 || (value >= 995.0 && value <= 999.0));
      const bool noSensor = noSensorLines && value == (e.prefix == "t_" ? -51.0 : 0.0);
      if (faultCode || noSensor) {
        ++codes;
        continue;
      }
      EXPECT_NEAR(value, e.value, e.tolerance) << stamp;
      ++good;
    }
    EXPECT_LE(lines.size(), polls);
    // The pressure needs some 110 clean bytes from the bridge: at 2 % only
    // about one reading in ten gets through.
    EXPECT_GT(good, polls / 20) << "too many readings refused";
    std::cout << e.prefix << e.rom << ": " << good << " of " << polls << "\n";
    accepted += good;
  }
  const std::size_t readings = polls * std::size(expected);
  std::cout << polls << " polls: " << accepted << " of " << readings << " readings journalled, "
            << codes << " fault-code or no-sensor lines, " << readings - accepted - codes
            << " refused\n";
}

// Records what the station's feed tells, in order.
class RecordingFeed final : public ReadingFeed {
 public:
  void OnScan(const std::vector<DeviceId>& present, core::DateTime) override {
    events.push_back("scan " + std::to_string(present.size()));
  }
  void OnReading(const Reading& r) override {
    readings.push_back(r);
    events.push_back("reading " + r.device.romText + " " + QuantityName(r.quantity));
  }
  void OnState(const StateReport& s) override {
    states.push_back(s);
    events.push_back("state " + s.device.romText + " " + ReadStateName(s.state));
  }
  void OnPollDone(core::DateTime) override { events.push_back("poll"); }
  void OnAdapterError(const std::string& text, core::DateTime) override {
    events.push_back("adapter " + text);
  }
  // The last state told for a device, NotReadYet when none.
  ReadState LastState(const std::string& rom) const {
    for (auto it = states.rbegin(); it != states.rend(); ++it) {
      if (it->device.romText == rom) return it->state;
    }
    return ReadState::NotReadYet;
  }
  std::vector<Reading> readings;
  std::vector<StateReport> states;
  std::vector<std::string> events;
};

constexpr const char* kFeedBus = R"({
  "devices": [
    { "family": "28", "serial": "0000012A3B4C", "temperature": 23.5 },
    { "family": "28", "serial": "0000012A3B50", "temperature": 20.0, "faults": { "power_on": true } },
    { "family": "28", "serial": "0000012A3B51", "temperature": 20.0,
      "faults": { "busy_forever": true } },
    { "family": "10", "serial": "0000012A3B52", "temperature": 18.0,
      "faults": { "absent_after": 12 } },
    { "family": "26", "serial": "000000A1B2C3", "temperature": 24.0, "vdd": 5.0, "rh": 45.0 },
    { "family": "19", "serial": "0000001D2E3F",
      "i2c": { "hdc": { "temperature": 21.3, "humidity": 45.2, "serial": "0102030405A6" },
               "bmp280": { "temperature": 22.1, "pressure": 100653.27 } } },
    { "family": "19", "serial": "0000001D2E40", "i2c": {} }
  ]
})";

class FeedStationTest : public StationSimTest {
 protected:
  FeedStationTest() : StationSimTest(kFeedBus) { station.feed().Add(feed); }
  RecordingFeed feed;
};

TEST_F(FeedStationTest, EveryJournalLineIsOneReadingAndEveryFailureAState) {
  RunPolls(4);
  ASSERT_EQ(pollEnds.size(), 4u);
  const std::string good = RomOf(0x28, 0x12A3B4C), powerOn = RomOf(0x28, 0x12A3B50),
                    busy = RomOf(0x28, 0x12A3B51), leaving = RomOf(0x10, 0x12A3B52),
                    module = RomOf(0x26, 0xA1B2C3), bridge = RomOf(0x19, 0x1D2E3F),
                    empty = RomOf(0x19, 0x1D2E40);

  // The readings are the journal's lines, value for value.
  struct Quantities {
    std::string prefix;
    Quantity quantity;
  };
  const Quantities kinds[] = {
      {"t_", Quantity::Temperature}, {"h_", Quantity::Humidity}, {"p_", Quantity::Pressure}};
  for (const std::string& rom : {good, leaving, module, bridge}) {
    for (const Quantities& k : kinds) {
      SCOPED_TRACE(k.prefix + rom);
      std::vector<double> told;
      for (const Reading& r : feed.readings) {
        if (r.device.romText == rom && r.quantity == k.quantity) told.push_back(r.value);
      }
      const auto lines = Lines(File(k.prefix, rom));
      ASSERT_EQ(told.size(), lines.size());
      for (std::size_t i = 0; i < told.size(); ++i) EXPECT_NEAR(told[i], lines[i].second, 0.005);
    }
  }
  for (const Reading& r : feed.readings) {
    EXPECT_NE(r.device.romText, powerOn);
    EXPECT_NE(r.device.romText, busy);
    EXPECT_NE(r.device.romText, empty) << "a no-sensor stand-in told as a reading";
    EXPECT_EQ(onewire::RomText(r.device.rom), r.device.romText);
  }

  EXPECT_EQ(feed.LastState(good), ReadState::Fresh);
  EXPECT_EQ(feed.LastState(powerOn), ReadState::PowerOnValue);
  // A conversion that never ends leaves the power-on value in the scratchpad.
  EXPECT_EQ(feed.LastState(busy), ReadState::PowerOnValue);
  EXPECT_EQ(feed.LastState(module), ReadState::Fresh);
  EXPECT_EQ(feed.LastState(bridge), ReadState::Fresh);
  EXPECT_EQ(feed.LastState(empty), ReadState::NoSensor);
  EXPECT_EQ(feed.LastState(leaving), ReadState::Gone);

  // Nothing of a device comes after the report that it left.
  const auto gone = std::find(feed.events.begin(), feed.events.end(), "state " + leaving + " gone");
  ASSERT_NE(gone, feed.events.end());
  EXPECT_EQ(
      std::count_if(gone + 1, feed.events.end(),
                    [&](const std::string& e) { return e.find(leaving) != std::string::npos; }),
      0);
  // A scan, then newcomers, readings, and the end of the poll, four times.
  EXPECT_EQ(std::count(feed.events.begin(), feed.events.end(), "poll"), 4);
  EXPECT_EQ(feed.events.front(), "scan 7");
  EXPECT_EQ(feed.events.back(), "poll");
}

TEST_F(FeedStationTest, AScanThatCannotReachTheAdapterIsAnAdapterError) {
  tmex.SetHook([](const std::string& op, int, std::int32_t* result) {
    if (op != "TMSetup") return false;
    *result = 0;
    return true;
  });
  RunPolls(2);
  ASSERT_EQ(pollEnds.size(), 2u);
  EXPECT_TRUE(feed.readings.empty());
  EXPECT_EQ(std::count_if(feed.events.begin(), feed.events.end(),
                          [](const std::string& e) { return e.rfind("adapter ", 0) == 0; }),
            2);
  EXPECT_EQ(feed.events[0], "adapter " + stat1.Text());
}

}  // namespace
}  // namespace orvel::measure
