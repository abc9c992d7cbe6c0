#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bridge_fixture.h"
#include "onewire/sim/devices/bmp280_chip.h"
#include "onewire/sim/devices/hdc_chip.h"
#include "sensors/bridge_chip_decode.h"

namespace orvel::sensors::testing {
namespace {

using Serial = std::array<std::uint8_t, 6>;

constexpr double kHdcStepT = 165.0 / 16384.0;  // 14-bit codes
constexpr double kHdcStepH = 100.0 / 16384.0;
constexpr double kShtStepT = 175.0 / 65535.0;
constexpr double kShtStepH = 100.0 / 65535.0;

TEST_F(BridgeBusTest, HdcAndPressureProbeGivesTheValuesOfItsFile) {
  LoadProbe(R"({"hdc": {"temperature": 21.3, "humidity": 45.2, "serial": "0102030405A6"},
                "bmp280": {"temperature": 25.08, "pressure": 100653.27}})");
  Serial buf{};
  chips_->getSerial_HDC_THP(buf.data(), 0);
  EXPECT_EQ(buf, (Serial{0x01, 0x02, 0x03, 0x04, 0x05, 0xA6}));
  const ValuesRead hdc = chips_->getValue_HDC_THP(0);
  EXPECT_TRUE(hdc.temperature && hdc.humidity);
  // The chip's 14-bit step plus the stored rounding.
  EXPECT_NEAR(Asens_[0].Temperature, 21.3, kHdcStepT + 0.005);
  EXPECT_NEAR(Asens_[0].Hu, 45.2, kHdcStepH + 0.05);

  chips_->getSerial_SHT_TH(buf.data(), 0);
  EXPECT_EQ(buf, Serial{});
  chips_->getSerial_STS_T(buf.data(), 0);
  EXPECT_EQ(buf, Serial{});

  pressure_->getSerialP(buf.data(), 0);
  EXPECT_EQ(buf, (Serial{0x58, 0, 0, 0, 0, 0}));
  const ValuesRead p = pressure_->getValue_HDC_TP(0);
  EXPECT_TRUE(p.temperature && p.humidity);
  EXPECT_DOUBLE_EQ(Asens_[0].Temperature, 25.08);
  EXPECT_DOUBLE_EQ(Asens_[0].Hu, 100.65);
  EXPECT_TRUE(dialogs_.notices.empty());
}

TEST_F(BridgeBusTest, ShtProbeGivesTheValuesOfItsFile) {
  LoadProbe(R"({"sht": {"temperature": 19.0, "humidity": 55.0, "serial": "1A2B3C4D"}})");
  Serial buf{};
  chips_->getSerial_HDC_THP(buf.data(), 0);
  EXPECT_EQ(buf, Serial{});
  chips_->getSerial_SHT_TH(buf.data(), 0);
  EXPECT_EQ(buf, (Serial{0x1A, 0x2B, 0x3C, 0x4D, 0, 0}));
  const ValuesRead v = chips_->getValue_SHT_TH(0);
  EXPECT_TRUE(v.temperature && v.humidity);
  EXPECT_NEAR(Asens_[0].Temperature, 19.0, kShtStepT);
  EXPECT_NEAR(Asens_[0].Hu, 55.0, kShtStepH);
  pressure_->getSerialP(buf.data(), 0);
  EXPECT_EQ(buf, Serial{});
  EXPECT_TRUE(dialogs_.notices.empty());
}

TEST_F(BridgeBusTest, StsProbeGivesItsTemperatureAndNoHumidity) {
  LoadProbe(R"({"sts": {"temperature": -12.5, "serial": "0A0B0C0D"}})");
  Asens_[0].Hu = 33.0;
  Serial buf{};
  chips_->getSerial_SHT_TH(buf.data(), 0);
  EXPECT_EQ(buf, Serial{});
  chips_->getSerial_STS_T(buf.data(), 0);
  EXPECT_EQ(buf, (Serial{0x0A, 0x0B, 0x0C, 0x0D, 0, 0}));
  const ValuesRead v = chips_->getValue_STS_T(0);
  EXPECT_TRUE(v.temperature);
  EXPECT_FALSE(v.humidity);
  EXPECT_NEAR(Asens_[0].Temperature, -12.5, kShtStepT);
  EXPECT_EQ(Asens_[0].Hu, 0.0);
}

TEST_F(BridgeBusTest, ProbeWithoutChipsReportsNoneFitted) {
  LoadProbe("{}");
  Serial buf{1, 1, 1, 1, 1, 1};
  chips_->getSerial_HDC_THP(buf.data(), 0);
  EXPECT_EQ(buf, Serial{});
  buf.fill(1);
  chips_->getSerial_SHT_TH(buf.data(), 0);
  EXPECT_EQ(buf, Serial{});
  buf.fill(1);
  chips_->getSerial_STS_T(buf.data(), 0);
  EXPECT_EQ(buf, Serial{});
  buf.fill(1);
  pressure_->getSerialP(buf.data(), 0);
  EXPECT_EQ(buf, Serial{});
  // The identification write fails on its address, before any read that
  // would show a status.
  EXPECT_TRUE(dialogs_.notices.empty());
}

TEST_F(BridgeBusTest, PressureFromRawReadingsOfTheDatasheetExample) {
  LoadProbe(R"({"bmp280": {"raw_temperature": 519888, "raw_pressure": 415148}})");
  EXPECT_EQ(pressure_->getValue_HDC_TP(0).humidity, true);
  EXPECT_DOUBLE_EQ(Asens_[0].Temperature, 25.08);
  EXPECT_DOUBLE_EQ(Asens_[0].Hu, 100.65);
}

TEST_F(BridgeBusTest, AllZeroCalibrationStoresZeroDegreesAndNoPressure) {
  LoadProbe(R"({"bmp280": {"raw_temperature": 519888, "raw_pressure": 415148,
                           "calibration": [0,0,0,0,0,0,0,0,0,0,0,0]}})");
  Asens_[0].Temperature = 20.0;
  const ValuesRead v = pressure_->getValue_HDC_TP(0);
  EXPECT_TRUE(v.temperature);
  EXPECT_FALSE(v.humidity);
  EXPECT_EQ(Asens_[0].Temperature, 0.0);
  EXPECT_EQ(Asens_[0].Hu, 0.0);
  EXPECT_TRUE(dialogs_.notices.empty());
}

// The chip model inverts the compensation: what it is asked for comes back
// through the program's own formulas, to their 0.01 resolution.
TEST_F(BridgeBusTest, PressureSensorRoundTripsAcrossItsRange) {
  for (const double t : {-40.0, -5.37, 0.0, 25.08, 60.51, 85.0}) {
    for (const double pa : {30000.0, 87654.0, 100653.27, 110000.0}) {
      LoadProbe(R"({"bmp280": {"temperature": )" + std::to_string(t) + R"(, "pressure": )" +
                std::to_string(pa) + "}}");
      pressure_->getValue_HDC_TP(0);
      EXPECT_NEAR(Asens_[0].Temperature, t, 0.0101) << t << " " << pa;
      EXPECT_NEAR(Asens_[0].Hu, pa / 1000.0, 0.0101) << t << " " << pa;
    }
  }
}

TEST_F(BridgeBusTest, HdcThatVanishesAfterItsTemperatureKeepsTheOldHumidity) {
  // Address phases: two temperature conversions (write, read), then the
  // humidity write...
  LoadProbe(R"({"hdc": {"temperature": 30.0, "humidity": 60.0, "faults": {"absent_after": 4}}})");
  Asens_[0].Temperature = 1.0;
  Asens_[0].Hu = 77.7;
  const ValuesRead v = chips_->getValue_HDC_THP(0);
  EXPECT_TRUE(v.temperature);
  EXPECT_FALSE(v.humidity);
  EXPECT_NEAR(Asens_[0].Temperature, 30.0, kHdcStepT + 0.005);
  EXPECT_EQ(Asens_[0].Hu, 77.7);
}

TEST_F(BridgeBusTest, ProbeUnpluggedMidReadingKeepsTheOldHumidity) {
  LoadProbe(R"({"hdc": {"temperature": 30.0, "humidity": 60.0}}, "busy_polls": 2)");
  Asens_[0].Hu = 77.7;
  // Pulled out while the bridge works on the humidity pointer (two busy
  // polls per transfer).
  int transfers_seen = 0;
  pump_.hook = [&](int) {
    if (++transfers_seen == 9) driver_->bus().Remove(bridges_[0]->rom());
  };
  const ValuesRead v = chips_->getValue_HDC_THP(0);
  EXPECT_TRUE(v.temperature);
  EXPECT_FALSE(v.humidity);
  EXPECT_NEAR(Asens_[0].Temperature, 30.0, kHdcStepT + 0.005);
  EXPECT_EQ(Asens_[0].Hu, 77.7);
}

TEST_F(BridgeBusTest, ShtWithABadHumidityCrcStoresNothing) {
  LoadProbe(R"({"sht": {"temperature": 19.0, "humidity": 55.0}})");
  Asens_[0].Temperature = 1.0;
  Asens_[0].Hu = 2.0;
  // Spoil the humidity CRC on its way in: the seventh byte after the last
  // busy poll of the read (status, then six data bytes).
  int after_poll = -1;
  rec_->SetHook([&](const std::string& op, int, std::int32_t* r) {
    if (op == "TMTouchBit") after_poll = 0;
    if (op == "TMStrongAccess") after_poll = -1;
    if (op != "TMTouchByte" || after_poll < 0 || ++after_poll != 7) return false;
    *r = 0x00;
    return true;
  });
  const ValuesRead v = chips_->getValue_SHT_TH(0);
  EXPECT_FALSE(v.temperature || v.humidity);
  EXPECT_EQ(Asens_[0].Temperature, 1.0);
  EXPECT_EQ(Asens_[0].Hu, 2.0);
}

TEST_F(BridgeBusTest, PressureSensorThatVanishesShowsErrorsAndStoresNoPressure) {
  struct Case {
    int answered;  // address phases before it stops answering
    std::vector<std::string> notices;
  };
  // Phases: 0xF5 write, 0xF4 write, then three times the 0xF7 pointer and
  // the data read, then three times the 0x88 pointer and the calibration.
  const std::vector<std::string> error{"ErrorRead -5"}, readError{"2", "ErrorRead -5"};
  std::vector<Case> cases{{0, error}, {1, error}};
  for (int phase = 2; phase < 14; ++phase) {
    const bool pointer = phase % 2 == 0;
    cases.push_back({phase, !pointer ? readError : phase < 8 ? std::vector<std::string>{} : error});
  }
  for (const Case& c : cases) {
    LoadProbe(R"({"bmp280": {"faults": {"absent_after": )" + std::to_string(c.answered) + "}}}");
    dialogs_.notices.clear();
    Asens_[0].Temperature = 11.0;
    Asens_[0].Hu = 99.0;
    const ValuesRead v = pressure_->getValue_HDC_TP(0);
    EXPECT_FALSE(v.temperature || v.humidity) << c.answered;
    EXPECT_EQ(Asens_[0].Temperature, 11.0) << c.answered;
    EXPECT_EQ(Asens_[0].Hu, 0.0) << c.answered;
    EXPECT_EQ(dialogs_.notices, c.notices) << c.answered;
  }
}

TEST_F(BridgeBusTest, FailedSelectionEndsSilently) {
  LoadProbe(R"({"hdc": {}, "bmp280": {}})");
  Asens_[0].ROM[5] ^= 0x01;  // a probe that is not there
  Asens_[0].Temperature = 5.0;
  Asens_[0].Hu = 6.0;
  Serial buf{1, 1, 1, 1, 1, 1};
  chips_->getSerial_HDC_THP(buf.data(), 0);
  EXPECT_EQ(buf, Serial{});
  EXPECT_FALSE(chips_->getValue_HDC_THP(0).temperature);
  EXPECT_EQ(Asens_[0].Temperature, 5.0);
  EXPECT_EQ(Asens_[0].Hu, 6.0);
  pressure_->getValue_HDC_TP(0);
  EXPECT_EQ(Asens_[0].Temperature, 5.0);
  EXPECT_EQ(Asens_[0].Hu, 0.0);
  EXPECT_TRUE(dialogs_.notices.empty());
  EXPECT_EQ(Count("TMTouchByte"), 0);
}

TEST_F(BridgeBusTest, WaitsAreSleepsOfTheirStatedLength) {
  LoadProbe(R"({"hdc": {}, "sht": {}, "bmp280": {}}, "busy_polls": 0)");
  auto slept = [&](auto read) {
    const auto before_us = clock_.ElapsedMicros();
    read();
    return clock_.ElapsedMicros() - before_us;
  };
  EXPECT_EQ(slept([&] { chips_->getValue_HDC_THP(0); }), 80000);  // two conversions each
  EXPECT_EQ(slept([&] { chips_->getValue_SHT_TH(0); }), 15000);
  EXPECT_EQ(slept([&] { pressure_->getValue_HDC_TP(0); }), 100000);
}

TEST_F(BridgeBusTest, BridgeSleepsOnTheBroadcastAndWakesOnReset) {
  LoadProbe(R"({"hdc": {}})");
  rec_->TMTouchReset(bus_->SHandle);
  rec_->TMTouchByte(bus_->SHandle, 0xCC);
  rec_->TMTouchByte(bus_->SHandle, 0x1E);
  EXPECT_TRUE(bridges_[0]->sleeping());
  Serial buf{};
  chips_->getSerial_HDC_THP(buf.data(), 0);
  EXPECT_FALSE(bridges_[0]->sleeping());
  EXPECT_EQ(buf, (Serial{0x01, 0x02, 0x03, 0x04, 0x05, 0xA6}));
}

// Replaces the reply byte `nth` after the busy wait (1: the status) of the
// transfer that follows TMStrongAccess number `access` (0: the selection's).
struct Spoil {
  int access, nth;
  std::int32_t value;
};

void SpoilReplies(testing_support::RecordingTmex& rec, std::vector<Spoil> spoils) {
  auto access = std::make_shared<int>(-1);
  auto after_poll = std::make_shared<int>(-1);
  rec.SetHook([=](const std::string& op, int index, std::int32_t* r) {
    if (op == "TMStrongAccess") {
      *access = index;
      *after_poll = -1;
    }
    if (op == "TMTouchBit") *after_poll = 0;
    if (op != "TMTouchByte" || *after_poll < 0) return false;
    ++*after_poll;
    for (const Spoil& s : spoils) {
      if (s.access == *access && s.nth == *after_poll) {
        *r = s.value;
        return true;
      }
    }
    return false;
  });
}

// HDC 21.3 C reads as code 0x5F1C. Accesses 1 and 2 carry the first
// temperature conversion, 3 and 4 the second, 5 and 6 a third.
TEST_F(BridgeBusTest, HdcConversionsThatDisagreeAreOutvotedOrRefused) {
  struct Case {
    const char* what;
    std::vector<Spoil> spoils;
    bool stored;
    int conversions;
  };
  const Case cases[] = {
      {"clean", {}, true, 2},
      {"second LSB a little off", {{4, 3, 0x00}}, true, 3},
      {"second MSB far off", {{4, 2, 0x00}}, true, 3},
      {"first MSB far off", {{2, 2, 0xFF}}, true, 3},
      {"second and third far off", {{4, 2, 0x00}, {6, 2, 0xFF}}, false, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoadProbe(R"({"hdc": {"temperature": 21.3, "humidity": 45.2}})");
    Asens_[0].Temperature = 1.0;
    Asens_[0].Hu = 2.0;
    SpoilReplies(*rec_, c.spoils);
    const ValuesRead v = chips_->getValue_HDC_THP(0);
    EXPECT_EQ(v.temperature, c.stored);
    EXPECT_EQ(v.humidity, c.stored);
    EXPECT_EQ(Asens_[0].Temperature, c.stored ? HdcTemperature(0x5F1C) : 1.0);
    EXPECT_EQ(Asens_[0].Hu, c.stored ? HdcHumidity(sim::HdcChip::HumidityCode(45.2)) : 2.0);
    // Read frames: the temperature conversions, then two of the humidity.
    int reads = 0;
    for (const auto& call : rec_->calls()) reads += call.rfind("TMTouchByte(87)", 0) == 0 ? 1 : 0;
    EXPECT_EQ(reads, c.conversions + (c.stored ? 2 : 0));
  }
}

// Accesses: 0 the selection's (0xF5 write), 1 the 0xF4 write, 2 to 7 the
// data pointer and read three times, 8 to 13 the calibration three times.
// Data bytes come after the status byte.
TEST_F(BridgeBusTest, PressureReadsThatDisagreeOrLeaveTheRangeStoreNothing) {
  struct Case {
    const char* what;
    std::string bmp280;
    std::vector<Spoil> spoils;
    bool stored;
  };
  const std::string normal = R"({"temperature": 25.08, "pressure": 100653.27})";
  const Case cases[] = {
      {"clean", normal, {}, true},
      {"first data read spoiled", normal, {{3, 3, 0x00}}, false},
      {"second data read spoiled", normal, {{5, 7, 0x00}}, false},
      {"third data read spoiled", normal, {{7, 4, 0x00}}, false},
      {"calibration spoiled", normal, {{9, 20, 0x00}}, false},
      {"second calibration spoiled", normal, {{11, 2, 0x00}}, false},
      {"third calibration spoiled", normal, {{13, 10, 0x00}}, false},
      {"at -40 C and 300 hPa", R"({"temperature": -40.0, "pressure": 30000})", {}, true},
      {"at 85 C and 1100 hPa", R"({"temperature": 85.0, "pressure": 110000})", {}, true},
      {"above 85 C", R"({"temperature": 90.0, "pressure": 100000})", {}, false},
      {"below -40 C", R"({"temperature": -45.0, "pressure": 100000})", {}, false},
      {"below 300 hPa", R"({"temperature": 25.0, "pressure": 29000})", {}, false},
      {"above 1100 hPa", R"({"temperature": 25.0, "pressure": 111000})", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoadProbe(R"({"bmp280": )" + c.bmp280 + "}");
    Asens_[0].Temperature = 11.0;
    Asens_[0].Hu = 99.0;
    SpoilReplies(*rec_, c.spoils);
    const ValuesRead v = pressure_->getValue_HDC_TP(0);
    EXPECT_EQ(v.temperature, c.stored);
    EXPECT_EQ(v.humidity, c.stored);
    if (!c.stored) {
      EXPECT_EQ(Asens_[0].Temperature, 11.0);
      EXPECT_EQ(Asens_[0].Hu, 0.0);
    }
    EXPECT_TRUE(dialogs_.notices.empty());
  }
}

// Transcripts of one reading of each chip, compared line by line with the
// checked-in files (ORVEL_UPDATE_GOLDEN=1 rewrites them).
struct GoldenCase {
  const char* name;
  const char* i2c;
  void (*read)(BridgeSensors&, PressureSensor&);
};
// A case prints as its name, in test listings and failures alike.
void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name; }

class GoldenTranscripts : public BridgeBusTest, public ::testing::WithParamInterface<GoldenCase> {};

TEST_P(GoldenTranscripts, OneReadingMatchesItsFile) {
  LoadProbe(GetParam().i2c, R"(, "busy_polls": 2)");
  GetParam().read(*chips_, *pressure_);
  const std::string path = std::string(ORVEL_SENSORS_GOLDEN_DIR) + "/" + GetParam().name + ".txt";
  if (std::getenv("ORVEL_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path) << rec_->Transcript();
    GTEST_SKIP() << "rewrote " << path;
  }
  std::ifstream in(path);
  ASSERT_TRUE(in) << path;
  std::stringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(rec_->Transcript(), expected.str());
}

INSTANTIATE_TEST_SUITE_P(
    Chips, GoldenTranscripts,
    ::testing::Values(GoldenCase{"hdc_value", R"({"hdc": {"temperature": 21.3, "humidity": 45.2}})",
                                 [](BridgeSensors& s, PressureSensor&) { s.getValue_HDC_THP(0); }},
                      GoldenCase{"sht_value", R"({"sht": {"temperature": 19.0, "humidity": 55.0}})",
                                 [](BridgeSensors& s, PressureSensor&) { s.getValue_SHT_TH(0); }},
                      GoldenCase{"sts_value", R"({"sts": {"temperature": 22.5}})",
                                 [](BridgeSensors& s, PressureSensor&) { s.getValue_STS_T(0); }},
                      GoldenCase{
                          "bmp280_value",
                          R"({"bmp280": {"raw_temperature": 519888, "raw_pressure": 415148}})",
                          [](BridgeSensors&, PressureSensor& p) { p.getValue_HDC_TP(0); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvel::sensors::testing
