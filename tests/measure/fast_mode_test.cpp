// The fast mode end to end on the simulated bus, in virtual time: one
// broadcast conversion a poll, scratchpads by Match ROM, searches only when
// due, and a journal with exactly the lines the specified mode writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/memory_controls.h"
#include "core/virtual_clock.h"
#include "measure/fakes.h"
#include "measure/reading_feed.h"
#include "measure/station.h"
#include "measure/time_stamp.h"
#include "measure/virtual_ticks.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/devices/thermometer_device.h"
#include "onewire/sim/simulated_driver.h"
#include "support/fake_platform.h"
#include "support/recording_tmex.h"

namespace orvel::measure {
namespace {

using testing::FakeJournalFiles;
using testing::QueuePoster;
using testing_support::FakeDialogs;
using testing_support::FakePump;

std::string Serial(int i) {
  char text[16];
  std::snprintf(text, sizeof text, "0000012A3B%02X", 0x40 + i);
  return text;
}
std::string Rom(int i) { return onewire::RomText(onewire::MakeRom(0x28, 0x12A3B40 + i)); }

// `count` DS18B20 at 20.5, 21.5, ...; every `parasiteEvery`-th one parasite
// (0: none); `extra` goes into the first device's object.
std::string Thermometers(int count, int parasiteEvery, const std::string& extra = "") {
  std::string json = R"({"devices": [)";
  for (int i = 0; i < count; ++i) {
    const bool parasite = parasiteEvery > 0 && i % parasiteEvery == 0;
    json += std::string(i ? ", " : "") + R"({"family": "28", "serial": ")" + Serial(i) +
            R"(", "temperature": )" + std::to_string(20.5 + i) +
            (parasite ? R"(, "parasite": true)" : "") + (i == 0 ? extra : "") + "}";
  }
  return json + "]}";
}

// Journal lines of one file: (stamp, value).
std::vector<std::pair<std::string, double>> Lines(const std::string& text) {
  std::vector<std::pair<std::string, double>> out;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) break;
    std::string value = text.substr(pos + 22, end - pos - 22);
    std::replace(value.begin(), value.end(), ',', '.');
    out.emplace_back(text.substr(pos, 19), std::stod(value));
    pos = end + 2;
  }
  return out;
}

// A station on a simulated bus, ticks delivered in virtual time.
struct Rig {
  Rig(const std::string& bus, FastMode fast)
      : driver(clock, sim::ParseBusFile(bus, "bus")),
        station(tmex,
                StationControls{{stat1, cbbPort, cbAdapter},
                                {cmb1820, lblTvalue, cmbhlt, lblHvalue, cmbds28e17, edtSNHDC,
                                 lblValT28e17, lblValH28e17, lblValP28e17, lblValPTds28e17},
                                {shpindik, shpTimer, lblBackTimer}},
                StationPlatform{clock, pump, dialogs, separators, timers, poster, files},
                core::StartupSettings{true, "/j", 5}, fast) {
    station.poll().OnPollEnd = [this] {
      pollEnds.push_back(clock.Now());
      pollStamps.push_back(JournalStamp(clock.Now(), separators));
      // Counted as the transcript grows: a thousand polls stay linear.
      for (; seen < tmex.calls().size(); ++seen)
        scans += tmex.calls()[seen].rfind("TMFirst", 0) == 0;
      scansAt.push_back(scans);
      if (afterPoll) afterPoll(pollEnds.size());
    };
    station.FillPortAndAdapterLists();
    station.Start();
  }

  void RunPolls(std::size_t polls) {
    testing::RunTicksUntil(station, poster, timers, clock,
                           [&] { return pollEnds.size() >= polls; });
  }

  std::size_t Count(const std::string& call) const {
    return static_cast<std::size_t>(
        std::count_if(tmex.calls().begin(), tmex.calls().end(),
                      [&](const std::string& c) { return c.rfind(call, 0) == 0; }));
  }
  std::vector<std::pair<std::string, double>> Journal(const std::string& rom) const {
    const auto it = files.files.find("/j/t_" + rom + ".csv");
    return it == files.files.end() ? decltype(Lines("")){} : Lines(it->second);
  }
  // 1-based poll of a journal stamp.
  std::size_t PollOf(const std::string& stamp) const {
    return static_cast<std::size_t>(std::lower_bound(pollStamps.begin(), pollStamps.end(), stamp) -
                                    pollStamps.begin()) +
           1;
  }
  void SetTemperature(int i, double celsius) {
    auto* device = dynamic_cast<sim::ThermometerDevice*>(
        driver.bus().Find(onewire::MakeRom(0x28, 0x12A3B40 + i)));
    ASSERT_NE(device, nullptr);
    device->SetTemperature(sim::SimValue::Constant(celsius));
  }
  // Polls that searched the bus (1-based).
  std::vector<std::size_t> ScanPolls() const {
    std::vector<std::size_t> polls;
    for (std::size_t i = 0; i < scansAt.size(); ++i) {
      if (scansAt[i] > (i ? scansAt[i - 1] : 0)) polls.push_back(i + 1);
    }
    return polls;
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
  core::MemoryText stat1, lblTvalue, lblHvalue, edtSNHDC, lblValT28e17, lblValH28e17, lblValP28e17,
      lblValPTds28e17, lblBackTimer;
  core::MemoryList cbbPort, cbAdapter, cmb1820, cmbhlt, cmbds28e17;
  core::MemoryShape shpindik, shpTimer;
  Station station;
  std::vector<core::DateTime> pollEnds;
  std::vector<std::string> pollStamps;
  std::vector<std::size_t> scansAt;
  std::size_t seen = 0, scans = 0;
  std::function<void(std::size_t)> afterPoll;
};

constexpr FastMode kFast{true, 10};
constexpr FastMode kNormal{};

struct BusCase {
  const char* name;
  int parasiteEvery;
};
void PrintTo(const BusCase& c, std::ostream* os) { *os << c.name; }

class FastModeBuses : public ::testing::TestWithParam<BusCase> {};

// Ten thermometers, twelve polls: every reading in the journal once a poll,
// as many lines as the specified mode writes, one Convert T a poll, and
// searches at the first poll and ten polls later only.
TEST_P(FastModeBuses, TenThermometersOneConversionAPollSameJournalAsNormalMode) {
  const std::string bus = Thermometers(10, GetParam().parasiteEvery);
  Rig fast(bus, kFast);
  Rig normal(bus, kNormal);
  fast.RunPolls(12);
  normal.RunPolls(12);
  ASSERT_EQ(fast.pollEnds.size(), 12u);
  EXPECT_TRUE(fast.dialogs.notices.empty()) << fast.dialogs.notices.front();
  EXPECT_EQ(fast.cmb1820.Count(), 10);
  for (int i = 0; i < 10; ++i) {
    const auto lines = fast.Journal(Rom(i));
    ASSERT_EQ(lines.size(), normal.Journal(Rom(i)).size()) << Rom(i);
    ASSERT_EQ(lines.size(), 12u) << Rom(i);
    for (std::size_t k = 0; k < lines.size(); ++k) {
      EXPECT_EQ(lines[k].second, 20.5 + i) << Rom(i);
      EXPECT_EQ(fast.PollOf(lines[k].first), k + 1) << Rom(i);
    }
  }
  EXPECT_EQ(fast.files.files.size(), normal.files.files.size());
  // Convert T goes out once a poll, to all (Skip ROM just before it).
  std::size_t conversions = 0;
  const auto bytes = fast.tmex.Bytes();
  for (std::size_t i = 1; i < bytes.size(); ++i) {
    if (bytes[i].rfind("TMTouchByte(44)", 0) == 0) {
      ++conversions;
      EXPECT_EQ(bytes[i - 1].rfind("TMTouchByte(CC)", 0), 0u);
    }
  }
  EXPECT_EQ(conversions, 12u);
  EXPECT_THAT(fast.ScanPolls(), ::testing::ElementsAre(1u, 11u));
  // The whole wait is one conversion time, not ten.
  const std::int64_t pollSeconds = core::SecsOf(fast.pollEnds[5]) - core::SecsOf(fast.pollEnds[4]);
  EXPECT_LE(pollSeconds, 6);
}

INSTANTIATE_TEST_SUITE_P(Power, FastModeBuses,
                         ::testing::Values(BusCase{"Powered", 0}, BusCase{"Parasite", 1},
                                           BusCase{"Mixed", 3}),
                         [](const ::testing::TestParamInfo<BusCase>& info) {
                           return info.param.name;
                         });

// A thousand polls with every temperature changed between two polls: each
// journalled value is the one of its own poll (nothing stale), and no
// power-on 85 reaches the journal from the parasite sensors.
TEST(FastMode, AThousandPollsNeverJournalAStaleOrPowerOnValue) {
  Rig rig(Thermometers(10, 2), kFast);
  const auto value = [](std::size_t poll, int i) {
    return -10.0 + i * 3.0 + static_cast<double>((poll * 7 + i) % 97) * 0.0625;
  };
  rig.afterPoll = [&](std::size_t polls) {
    for (int i = 0; i < 10; ++i) rig.SetTemperature(i, value(polls + 1, i));
  };
  for (int i = 0; i < 10; ++i) rig.SetTemperature(i, value(1, i));
  rig.RunPolls(1000);
  ASSERT_EQ(rig.pollEnds.size(), 1000u);
  for (int i = 0; i < 10; ++i) {
    const auto lines = rig.Journal(Rom(i));
    ASSERT_EQ(lines.size(), 1000u) << Rom(i);
    for (const auto& [stamp, v] : lines) {
      const std::size_t poll = rig.PollOf(stamp);
      ASSERT_NE(v, 85.0) << Rom(i) << " poll " << poll;
      ASSERT_NEAR(v, value(poll, i), 0.0051) << Rom(i) << " poll " << poll;
    }
  }
  EXPECT_EQ(rig.ScanPolls().size(), 100u);
}

// A sensor leaves the bus: no line for it from then on, the next poll
// searches, the list drops it and the others keep their line a poll.
TEST(FastMode, ASensorLeavingIsRefusedAndTheNextPollSearches) {
  Rig rig(Thermometers(10, 0), kFast);
  rig.RunPolls(3);
  ASSERT_TRUE(rig.driver.bus().Remove(onewire::MakeRom(0x28, 0x12A3B40 + 4)));
  rig.RunPolls(8);
  EXPECT_EQ(rig.Journal(Rom(4)).size(), 3u);
  EXPECT_THAT(rig.ScanPolls(), ::testing::ElementsAre(1u, 5u));
  EXPECT_EQ(rig.cmb1820.Count(), 9);
  for (int i : {0, 3, 5, 9}) EXPECT_EQ(rig.Journal(Rom(i)).size(), 8u) << Rom(i);
}

// Scratchpads with a damaged byte: never journalled, read twice before they
// are refused, and a refusal has the next poll search.
TEST(FastMode, CorruptScratchpadsAreRetriedOnceThenRefused) {
  Rig always(Thermometers(3, 0, R"(, "faults": {"crc_error_rate": 1.0})"), kFast);
  always.RunPolls(4);
  EXPECT_TRUE(always.Journal(Rom(0)).empty());
  for (int i : {1, 2}) EXPECT_EQ(always.Journal(Rom(i)).size(), 4u);
  EXPECT_THAT(always.ScanPolls(), ::testing::ElementsAre(1u, 2u, 3u, 4u));
  // Three thermometers, one read twice, each poll.
  EXPECT_EQ(always.Count("TMTouchByte(BE)"), 4u * 4u);

  Rig sometimes(Thermometers(3, 0, R"(, "faults": {"crc_error_rate": 0.05, "seed": 7})"), kFast);
  sometimes.RunPolls(60);
  const auto lines = sometimes.Journal(Rom(0));
  EXPECT_GT(lines.size(), 30u);
  EXPECT_LT(lines.size(), 60u);
  for (const auto& [stamp, v] : lines) EXPECT_EQ(v, 20.5) << stamp;
}

// An adapter without strong pull-up on a bus with parasite thermometers:
// the thermometers are read one at a time as specified, so the powered ones
// are journalled and the parasite ones (power-on content) never.
TEST(FastMode, WithoutAStrongPullupAParasiteBusIsReadAsSpecified) {
  Rig rig(Thermometers(6, 3), kFast);
  rig.tmex.SetHook([](const std::string& op, int, std::int32_t* result) {
    if (op != "TMOneWireLevel") return false;
    *result = 0;  // a master without the level: normal, whatever is asked
    return true;
  });
  rig.RunPolls(4);
  for (int i = 0; i < 6; ++i) {
    const auto lines = rig.Journal(Rom(i));
    if (i % 3 == 0) {
      EXPECT_TRUE(lines.empty()) << Rom(i);
      continue;
    }
    ASSERT_EQ(lines.size(), 4u) << Rom(i);
    for (const auto& [stamp, v] : lines) EXPECT_EQ(v, 20.5 + i) << Rom(i);
  }
  // One broadcast conversion after each search, then the specified reading.
  EXPECT_EQ(rig.ScanPolls(), std::vector<std::size_t>{1u});
  EXPECT_GT(rig.Count("TMStrongAccess"), 0u);
}

// The reading feed in fast mode: each fresh value once a poll, and the
// refused sensor's state with its cause.
class StateLog final : public ReadingFeed {
 public:
  void OnScan(const std::vector<DeviceId>&, core::DateTime) override { ++scans; }
  void OnReading(const Reading& r) override { ++readings[r.device.romText]; }
  void OnState(const StateReport& r) override { states[r.device.romText] = r; }
  int scans = 0;
  std::map<std::string, int> readings;
  std::map<std::string, StateReport> states;
};

TEST(FastMode, TheFeedHearsFreshReadingsAndRefusals) {
  Rig rig(Thermometers(3, 0, R"(, "faults": {"crc_error_rate": 1.0})"), kFast);
  StateLog log;
  rig.station.feed().Add(log);
  rig.RunPolls(3);
  EXPECT_EQ(log.scans, 3);  // the refusal has every poll search
  EXPECT_EQ(log.readings[Rom(0)], 0);
  EXPECT_EQ(log.readings[Rom(1)], 3);
  EXPECT_EQ(log.readings[Rom(2)], 3);
  ASSERT_EQ(log.states.count(Rom(0)), 1u);
  EXPECT_EQ(log.states[Rom(0)].state, ReadState::ReadError);
  EXPECT_THAT(log.states[Rom(0)].reason, ::testing::HasSubstr("CRC"));
  EXPECT_EQ(log.states[Rom(1)].state, ReadState::Fresh);
}

// --rescan-every and Ctrl+F1.
TEST(FastMode, SearchesEveryNPollsAndOnRequest) {
  Rig rig(Thermometers(2, 0), FastMode{true, 3});
  rig.RunPolls(7);
  EXPECT_THAT(rig.ScanPolls(), ::testing::ElementsAre(1u, 4u, 7u));
  const std::size_t before = rig.Count("TMFirst");
  rig.station.RescanRequested();
  EXPECT_EQ(rig.Count("TMFirst"), before + 1);
}

}  // namespace
}  // namespace orvel::measure
