#include "sensors/humidity_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "onewire/sim/bus_file.h"
#include "onewire/sim/devices/ds2438_device.h"
#include "sensor_bench.h"

namespace orvel::sensors {
namespace {

using onewire::MakeRom;
using onewire::RomCode;
using sim::Ds2438Device;
using sim::Ds2438Settings;
using sim::Faults;
using sim::SimValue;

const RomCode kHlt = MakeRom(0x26, 0x000000A1B2C3);

Ds2438Settings Module(double vdd, double vad, double celsius = 25.0, std::uint8_t config = 0x0F) {
  Ds2438Settings s;
  s.temperature = SimValue::Constant(celsius);
  s.vdd = SimValue::Constant(vdd);
  s.vad = SimValue::Constant(vad);
  s.config = config;
  return s;
}

class HumidityReading : public testing::Test, public simbench::SensorBench {
 protected:
  HumidityReader reader_{bus_, Asens_, clock_, pump_};

  Ds2438Device& AddModule(const Ds2438Settings& settings, Faults faults = {}) {
    auto& device = Add<Ds2438Device>(kHlt, faults, settings);
    PutInSlot(0, kHlt);
    OpenSession();
    return device;
  }
};

// The edge voltages at 25 C, measured by the simulated module starting
// from either input.
TEST_F(HumidityReading, EdgeVoltagesGiveTheirValuesAndCodes) {
  const struct {
    double vdd, vad, hu;
  } cases[] = {
      {5.00, 2.50, 54.8},  {5.00, 4.00, 999.0}, {5.00, 0.75, 0.0},
      {3.99, 2.50, 998.0}, {4.00, 2.50, 74.4},
  };
  for (const auto& c : cases) {
    for (const std::uint8_t config : {0x0F, 0x07}) {
      SCOPED_TRACE(testing::Message() << c.vdd << " V, " << c.vad << " V, config " << int{config});
      simbench::SensorBench bench;
      bench.Add<Ds2438Device>(kHlt, Faults{}, Module(c.vdd, c.vad, 25.0, config));
      bench.PutInSlot(0, kHlt);
      bench.OpenSession();
      HumidityReader reader(bench.bus_, bench.Asens_, bench.clock_, bench.pump_);
      ASSERT_TRUE(reader.getValueHLT(0));
      EXPECT_EQ(reader.Temperature, 25.0);
      EXPECT_EQ(reader.Vsens, c.vdd);
      EXPECT_EQ(reader.ADC0_val, c.vad);
      EXPECT_EQ(bench.Asens_[0].Hu, c.hu);
    }
  }
}

TEST_F(HumidityReading, InputSelectionFlipsOncePerReading) {
  auto& device = AddModule(Module(5.0, 2.5));
  const auto status = [&] { return device.Status(driver_.bus().Now()) & 0x08; };
  ASSERT_EQ(status(), 0x08);
  ASSERT_TRUE(reader_.getValueHLT(0));
  EXPECT_EQ(status(), 0x00);  // left on the sensor input
  ASSERT_TRUE(reader_.getValueHLT(0));
  EXPECT_EQ(status(), 0x08);
  EXPECT_EQ(Asens_[0].Hu, 54.8);
}

// StrongAccess calls of one reading: 0 selection, 1 Convert T, 2 Convert V,
// 3 and 4 the first poll, 5 before the temperature, 6 before Write Scratchpad.
constexpr int kWriteScratchpadAccess = 6;

TEST_F(HumidityReading, FailedInputSwitchIsAFailedReading) {
  // The first reading after start-up: the other voltage was never measured.
  for (const std::uint8_t config : {0x07, 0x0F}) {
    SCOPED_TRACE(int{config});
    simbench::SensorBench bench;
    auto& device = bench.Add<Ds2438Device>(kHlt, Faults{}, Module(5.0, 2.5, 25.0, config));
    bench.PutInSlot(0, kHlt);
    bench.OpenSession();
    bench.Asens_[0].Hu = 40.0;
    bench.recorder_.SetHook([](const std::string& op, int index, std::int32_t* result) {
      if (op != "TMStrongAccess" || index != kWriteScratchpadAccess) return false;
      *result = 0;
      return true;
    });
    HumidityReader reader(bench.bus_, bench.Asens_, bench.clock_, bench.pump_);
    EXPECT_FALSE(reader.getValueHLT(0));
    // The input was not switched: the module keeps its configuration.
    EXPECT_EQ(device.Status(bench.driver_.bus().Now()) & 0x0F, config);
    EXPECT_EQ(bench.Asens_[0].Hu, 40.0);
  }
}

// The two modules of a bus file in slots 0 and 1, the session open.
std::unique_ptr<simbench::SensorBench> TwoModules(const std::string& file) {
  auto bench = std::make_unique<simbench::SensorBench>(sim::ParseBusFile(file, "bus.json"));
  bench->PutInSlot(0, kHlt);
  bench->PutInSlot(1, MakeRom(0x26, 0x000000A1B2C4));
  bench->OpenSession();
  return bench;
}

TEST(HumidityModules, LostInputSwitchNeverBorrowsAnotherModulesVoltage) {
  auto owned = TwoModules(R"({"devices": [
    {"family": "26", "serial": "000000A1B2C3", "temperature": 25.0, "vdd": 5.0, "rh": 20.0},
    {"family": "26", "serial": "000000A1B2C4", "temperature": 25.0, "vdd": 5.0, "rh": 80.0}]})");
  simbench::SensorBench& bench = *owned;
  HumidityReader reader(bench.bus_, bench.Asens_, bench.clock_, bench.pump_);
  ASSERT_TRUE(reader.getValueHLT(0));
  EXPECT_NEAR(bench.Asens_[0].Hu, 20.0, 0.2);
  bench.Asens_[1].Hu = 81.0;
  // The second module's Write Scratchpad is lost.
  int first = -1;
  bench.recorder_.SetHook([&](const std::string& op, int index, std::int32_t* result) {
    if (op != "TMStrongAccess") return false;
    if (first < 0) first = index;
    if (index - first != kWriteScratchpadAccess) return false;
    *result = 0;
    return true;
  });
  EXPECT_FALSE(reader.getValueHLT(1));
  EXPECT_EQ(bench.Asens_[1].Hu, 81.0);
  bench.recorder_.SetHook(nullptr);
  // The next reading switches again and measures both inputs itself.
  ASSERT_TRUE(reader.getValueHLT(1));
  EXPECT_NEAR(bench.Asens_[1].Hu, 80.0, 0.2);
}

TEST_F(HumidityReading, BusyForeverEndsWithin1sOfVirtualTimeWith996) {
  Faults busy;
  busy.busy_forever = true;
  AddModule(Module(5.0, 2.5), busy);
  Asens_[0].Hu = 40.0;
  EXPECT_TRUE(reader_.getValueHLT(0));
  EXPECT_EQ(Asens_[0].Hu, 996.0);
  EXPECT_LE(clock_.ElapsedMicros(), 1'000'000);
  EXPECT_LE(Count("TMTouchByte(B8)=B8"), HumidityReader::kMaxPolls);
  EXPECT_GT(Count("TMTouchByte(B8)=B8"), 1);
  // It gave up in the first poll: no input switch, no humidity computed.
  EXPECT_EQ(Count("TMTouchByte(4E)=4E"), 0);
}

TEST_F(HumidityReading, PollGivesUpAfterOneSecondWhenTheTickCounterRunsFast) {
  AddModule(Module(5.0, 2.5), [] {
    Faults f;
    f.busy_forever = true;
    return f;
  }());
  // Every message pass costs 300 ms, as a slow window would.
  pump_.hook = [&](int) { clock_.Advance(300'000); };
  EXPECT_TRUE(reader_.getValueHLT(0));
  EXPECT_EQ(Asens_[0].Hu, 996.0);
  EXPECT_LE(Count("TMTouchByte(B8)=B8"), 4);
}

TEST_F(HumidityReading, ModuleVanishingAfterSelectionEndsWith996) {
  AddModule(Module(5.0, 2.5));
  Asens_[0].Hu = 40.0;
  pump_.hook = [&](int call) {
    if (call == 1) driver_.bus().Find(kHlt)->SetPresent(false);
  };
  EXPECT_TRUE(reader_.getValueHLT(0));
  EXPECT_EQ(Asens_[0].Hu, 996.0);
  EXPECT_LE(clock_.ElapsedMicros(), 1'000'000);
}

TEST_F(HumidityReading, UnreachableModuleIsLeftAlone) {
  const struct { const char* op; } cases[] = {{"TMRom"}, {"TMValidSession"}, {"TMStrongAccess"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.op);
    simbench::SensorBench bench;
    bench.Add<Ds2438Device>(kHlt, Faults{}, Module(5.0, 2.5));
    bench.PutInSlot(0, kHlt);
    bench.OpenSession();
    bench.Asens_[0].Hu = 40.0;
    bench.recorder_.SetHook([&](const std::string& op, int, std::int32_t* result) {
      if (op != c.op) return false;
      *result = 0;
      return true;
    });
    HumidityReader reader(bench.bus_, bench.Asens_, bench.clock_, bench.pump_);
    EXPECT_FALSE(reader.getValueHLT(0));
    EXPECT_EQ(bench.Asens_[0].Hu, 40.0);
    EXPECT_EQ(bench.recorder_.Bytes().size(), 0U);
  }
}

TEST_F(HumidityReading, ComputeHumidityReportsSelectionFaults) {
  AddModule(Module(5.0, 2.5));
  reader_.Vsens = 5.0;
  reader_.ADC0_val = 2.5;
  reader_.Temperature = 25.0;
  struct Case {
    const char* op;
    double hu;
  };
  for (const Case& c : {Case{"TMRom", 997.0}, Case{"TMValidSession", 40.0},
                        Case{"TMStrongAccess", 996.0}, Case{"", 54.8}}) {
    SCOPED_TRACE(c.op);
    Asens_[0].Hu = 40.0;
    recorder_.SetHook([&](const std::string& op, int, std::int32_t* result) {
      if (op != c.op) return false;
      *result = 0;
      return true;
    });
    // An invalid session leaves the old value, which is then no reading.
    EXPECT_EQ(reader_.ComputeHumidity(0), c.hu != 40.0);
    EXPECT_EQ(Asens_[0].Hu, c.hu);
  }
}

TEST_F(HumidityReading, InvalidSessionAtTheEndIsAFailedReading) {
  AddModule(Module(5.0, 2.5));
  Asens_[0].Hu = 40.0;
  // TMValidSession: 0 the reading's selection, 1 that of ComputeHumidity.
  recorder_.SetHook([](const std::string& op, int index, std::int32_t* result) {
    if (op != "TMValidSession" || index != 1) return false;
    *result = 0;
    return true;
  });
  EXPECT_FALSE(reader_.getValueHLT(0));
  EXPECT_EQ(Asens_[0].Hu, 40.0);
}

TEST_F(HumidityReading, CrcErrorsMakeThePollReadAgain) {
  Faults noisy;
  noisy.crc_error_rate = 0.05;
  noisy.seed = 7;
  AddModule(Module(5.0, 2.5), noisy);
  int good = 0;
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(reader_.getValueHLT(0));
    const double hu = Asens_[0].Hu;
    // A corrupted page never passes as a value: only the true one or a code.
    EXPECT_TRUE(hu == 54.8 || hu > 900.0 || hu == 0.0) << hu;
    good += hu == 54.8 ? 1 : 0;
  }
  EXPECT_GT(good, 10);
}

TEST_F(HumidityReading, RelativeHumidityOfTheBusFileComesBack) {
  auto owned = TwoModules(R"({"devices": [
    {"family": "26", "serial": "000000A1B2C3", "temperature": 24.0, "vdd": 5.0, "rh": 45.0},
    {"family": "26", "serial": "000000A1B2C4", "temperature": -5.0, "vdd": 4.8, "rh": 80.0,
     "config": 7}]})");
  simbench::SensorBench& bench = *owned;
  HumidityReader reader(bench.bus_, bench.Asens_, bench.clock_, bench.pump_);
  ASSERT_TRUE(reader.getValueHLT(0));
  EXPECT_NEAR(bench.Asens_[0].Hu, 45.0, 0.2);
  EXPECT_EQ(reader.Temperature, 24.0);
  ASSERT_TRUE(reader.getValueHLT(1));
  EXPECT_NEAR(bench.Asens_[1].Hu, 80.0, 0.2);
  EXPECT_EQ(reader.Temperature, -5.0);
  EXPECT_EQ(reader.Vsens, 4.8);
}

TEST(HumidityTranscript, OneReading) {
  const std::string file = R"({"devices": [
    {"family": "26", "serial": "000000A1B2C3", "temperature": 24.0, "vdd": 5.0, "vad": 2.19}]})";
  simbench::SensorBench bench(sim::ParseBusFile(file, "bus.json"));
  bench.PutInSlot(0, kHlt);
  bench.OpenSession();
  HumidityReader reader(bench.bus_, bench.Asens_, bench.clock_, bench.pump_);
  ASSERT_TRUE(reader.getValueHLT(0));
  EXPECT_EQ(bench.Asens_[0].Hu, 44.9);
  const std::string actual = bench.recorder_.Transcript();
  EXPECT_EQ(actual, simbench::ReadGolden("humidity.txt", actual));
}

}  // namespace
}  // namespace orvel::sensors
