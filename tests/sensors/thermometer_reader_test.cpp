#include "sensors/thermometer_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "onewire/crc.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/devices/ds18b20_device.h"
#include "onewire/sim/devices/ds18s20_device.h"
#include "sensor_bench.h"

namespace orvel::sensors {
namespace {

using onewire::MakeRom;
using onewire::RomCode;
using sim::Ds18b20Device;
using sim::Ds18s20Device;
using sim::Faults;
using sim::SimValue;
using sim::ThermometerSettings;

const RomCode kB20 = MakeRom(0x28, 0x0000012A3B4C);
const RomCode kS20 = MakeRom(0x10, 0x000801A2B3C4);

ThermometerSettings Settings(double celsius, int bits = 12, bool parasite = false) {
  ThermometerSettings s;
  s.temperature = SimValue::Constant(celsius);
  s.config = Ds18b20Device::ConfigForResolution(bits);
  s.parasite = parasite;
  return s;
}

class ThermometerReading : public testing::Test, public simbench::SensorBench {
 protected:
  ThermometerReader reader_{bus_, Asens_, clock_, pump_};

  double Read(std::size_t slot = 0) {
    return reader_.ReadThermometer(static_cast<std::int16_t>(slot));
  }
  // A slot holding an earlier accepted reading, to see that failures keep it.
  void PresetSlot(std::size_t slot) {
    auto& s = Asens_[slot];
    s.Temperature = s.CorrectTemp = 11.5;
    s.UpLimitT = 30;
    s.DownLimitT = -5;
    s.FlagReadyValue = 1;
  }
  void ExpectSlotUnchanged(std::size_t slot) {
    const auto& s = Asens_[slot];
    EXPECT_EQ(s.Temperature, 11.5);
    EXPECT_EQ(s.CorrectTemp, 11.5);
    EXPECT_EQ(s.UpLimitT, 30);
    EXPECT_EQ(s.DownLimitT, -5);
    EXPECT_EQ(s.FlagReadyValue, 1);
  }
};

// The datasheet table read through the simulated chip at every resolution:
// the chip keeps the finer bits, so the reader's mask decides the value.
TEST_F(ThermometerReading, Ds18b20TableReadsBackAtEveryResolution) {
  struct Row {
    double celsius;
    std::uint16_t word;
    double at[4];  // 12, 11, 10, 9 bits
  };
  const Row rows[] = {
      {125.0, 0x07D0, {125.0, 125.0, 125.0, 125.0}},
      {25.0625, 0x0191, {25.0625, 25.0, 25.0, 25.0}},
      {10.125, 0x00A2, {10.125, 10.125, 10.0, 10.0}},
      {10.625, 0x00AA, {10.625, 10.625, 10.5, 10.5}},  // was taken for power-on content
      {0.5, 0x0008, {0.5, 0.5, 0.5, 0.5}},
      {0.0, 0x0000, {0.0, 0.0, 0.0, 0.0}},
      {-0.5, 0xFFF8, {-0.5, -0.5, -0.5, -0.5}},
      {-10.125, 0xFF5E, {-10.125, -10.125, -10.25, -10.5}},
      {-25.0625, 0xFE6F, {-25.0625, -25.125, -25.25, -25.5}},
      {-55.0, 0xFC90, {-55.0, -55.0, -55.0, -55.0}},
  };
  std::uint64_t serial = 1;
  std::size_t slot = 0;
  for (const auto& row : rows) {
    for (int bits = 12; bits >= 9; --bits, ++slot, ++serial) {
      const RomCode rom = MakeRom(0x28, serial);
      Add<Ds18b20Device>(rom, Faults{}, Settings(row.celsius, bits));
      PutInSlot(slot, rom);
    }
  }
  OpenSession();
  slot = 0;
  for (const auto& row : rows) {
    for (int bits = 12; bits >= 9; --bits, ++slot) {
      SCOPED_TRACE(testing::Message() << row.celsius << " C at " << bits << " bits");
      ASSERT_EQ(Read(slot), 1.0);
      EXPECT_EQ(reader_.iarray[0] | reader_.iarray[1] << 8, row.word);
      EXPECT_EQ(Asens_[slot].Temperature, row.at[12 - bits]);
      EXPECT_EQ(Asens_[slot].CorrectTemp, row.at[12 - bits]);
      EXPECT_EQ(Asens_[slot].UpLimitT, 75.0);
      EXPECT_EQ(Asens_[slot].DownLimitT, 70.0);
      EXPECT_EQ(Asens_[slot].FlagReadyValue, 1);
    }
  }
}

TEST_F(ThermometerReading, Ds18s20TableReadsBackWithItsCounts) {
  struct Row {
    double celsius;
    std::uint16_t word;
    std::uint8_t count_remain;
  };
  const Row rows[] = {{125.0, 0x00FA, 0x0C}, {25.0, 0x0032, 0x0C},   {0.5, 0x0001, 0x04},
                      {0.0, 0x0000, 0x0C},   {-0.5, 0xFFFF, 0x04},   {-25.0, 0xFFCE, 0x0C},
                      {-55.0, 0xFF92, 0x0C}, {25.3125, 0x0033, 0x07}};
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    const RomCode rom = MakeRom(0x10, i + 1);
    Add<Ds18s20Device>(rom, Faults{}, Settings(rows[i].celsius));
    PutInSlot(i, rom);
  }
  OpenSession();
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].celsius);
    ASSERT_EQ(Read(i), 1.0);
    EXPECT_EQ(reader_.iarray[0] | reader_.iarray[1] << 8, rows[i].word);
    EXPECT_EQ(reader_.iarray[6], rows[i].count_remain);
    EXPECT_EQ(reader_.iarray[7], 0x10);
    // 25.3125 is stored as 25.312: three decimals, halves to even.
    EXPECT_EQ(Asens_[i].Temperature, rows[i].celsius == 25.3125 ? 25.312 : rows[i].celsius);
  }
}

TEST_F(ThermometerReading, PowerOnScratchpadIsRejectedForBothFamilies) {
  // A chip that never converts keeps the +85 C it powered up with.
  Faults power_on;
  power_on.power_on = true;
  Add<Ds18b20Device>(kB20, power_on, Settings(21.0));
  Add<Ds18s20Device>(kS20, power_on, Settings(21.0));
  PutInSlot(0, kB20);
  PutInSlot(1, kS20);
  PresetSlot(0);
  PresetSlot(1);
  OpenSession();
  EXPECT_EQ(Read(0), -99.0);
  EXPECT_EQ(std::vector<int>(reader_.iarray.begin(), reader_.iarray.begin() + 8),
            (std::vector<int>{0x50, 0x05, 0x4B, 0x46, 0x7F, 0xFF, 0x0C, 0x10}));
  ExpectSlotUnchanged(0);
  EXPECT_EQ(Read(1), -99.0);
  EXPECT_EQ(std::vector<int>(reader_.iarray.begin(), reader_.iarray.begin() + 8),
            (std::vector<int>{0xAA, 0x00, 0x4B, 0x46, 0xFF, 0xFF, 0x0C, 0x10}));
  ExpectSlotUnchanged(1);
}

TEST_F(ThermometerReading, ParasiteDs18s20ConvertsOnlyUnderTheStrongPullup) {
  Add<Ds18s20Device>(kS20, Faults{}, Settings(-10.25, 12, true));
  PutInSlot(0, kS20);
  OpenSession();
  ASSERT_EQ(Read(), 1.0);
  EXPECT_EQ(Asens_[0].Temperature, -10.25);
  EXPECT_FALSE(driver_.bus().StrongPullupActive());
  EXPECT_GE(driver_.bus().traffic().strong_pullup_us, 800'000);

  // A second parasite chip on a driver that ignores the pull-up request:
  // its conversion dies and it keeps its power-on content.
  const RomCode fresh = MakeRom(0x10, 0x77);
  Add<Ds18s20Device>(fresh, Faults{}, Settings(-10.25, 12, true));
  PutInSlot(1, fresh);
  PresetSlot(1);
  recorder_.SetHook([](const std::string& op, int, std::int32_t* result) {
    if (op != "TMOneWireLevel") return false;
    *result = 0;
    return true;  // never reaches the bus
  });
  EXPECT_EQ(Read(1), -99.0);
  EXPECT_EQ(reader_.iarray[0], 0xAA);
  ExpectSlotUnchanged(1);
}

TEST_F(ThermometerReading, ParasiteConversionCutShortByBusTrafficFails) {
  auto& device = Add<Ds18b20Device>(kB20, Faults{}, Settings(30.0, 12, true));
  PutInSlot(0, kB20);
  OpenSession();
  // Traffic in the middle of the wait ends the strong pull-up, as a rescan
  // inside a reading would.
  pump_.hook = [&](int call) {
    if (call == 3) recorder_.TMTouchReset(bus_.SHandle);
  };
  EXPECT_EQ(Read(), -99.0);
  EXPECT_EQ(device.CompletedConversions(), 0);
}

TEST_F(ThermometerReading, WaitsEightHundredMillisecondsAcrossTheTickWrap) {
  for (const std::uint32_t start : {0U, 0xFFFFFFFFU - 250U, 0xFFFFFFFFU, 0x7FFFFFFFU}) {
    SCOPED_TRACE(start);
    simbench::SensorBench bench;
    bench.clock_ = core::VirtualClock(core::EncodeDateTime({2026, 12, 8, 9, 0, 0, 0}), start);
    bench.Add<Ds18b20Device>(kB20, Faults{}, Settings(22.0));
    bench.PutInSlot(0, kB20);
    bench.OpenSession();
    ThermometerReader reader(bench.bus_, bench.Asens_, bench.clock_, bench.pump_);
    ASSERT_EQ(reader.ReadThermometer(0), 1.0);
    EXPECT_EQ(bench.clock_.ElapsedMicros(), 800'000);
    EXPECT_EQ(bench.pump_.calls, 8);
    EXPECT_EQ(bench.Asens_[0].Temperature, 22.0);
  }
}

TEST_F(ThermometerReading, EdgeOfCountIsConfirmedByASecondConversion) {
  // 23.8125 C shows COUNT_REMAIN 15 against COUNT_PER_C 16.
  Add<Ds18s20Device>(kS20, Faults{}, Settings(23.8125));
  PutInSlot(0, kS20);
  OpenSession();
  ASSERT_EQ(Read(), 1.0);
  EXPECT_EQ(reader_.iarray[6], 0x0F);
  EXPECT_EQ(Count("TMTouchByte(44)=44"), 2);
  EXPECT_EQ(clock_.ElapsedMicros(), 1'600'000);
  EXPECT_EQ(Asens_[0].Temperature, 23.812);  // 23812.5 rounds to even
}

TEST_F(ThermometerReading, ConfirmationThatChangesIsAFailedReading) {
  auto& device = Add<Ds18s20Device>(kS20, Faults{}, Settings(23.8125));
  PutInSlot(0, kS20);
  PresetSlot(0);
  OpenSession();
  pump_.hook = [&](int call) {
    if (call == 9) device.SetTemperature(SimValue::Constant(25.0));  // during the second wait
  };
  EXPECT_EQ(Read(), -99.0);
  EXPECT_EQ(Count("TMTouchByte(44)=44"), 2);
  EXPECT_EQ(reader_.iarray[0], 0x32);  // the second scratchpad was read
  ExpectSlotUnchanged(0);
}

TEST_F(ThermometerReading, ConfirmationPassWithoutAnswerKeepsTheFirstScratchpad) {
  Add<Ds18s20Device>(kS20, Faults{}, Settings(23.8125));
  PutInSlot(0, kS20);
  OpenSession();
  pump_.hook = [&](int call) {
    if (call == 9) driver_.bus().Find(kS20)->SetPresent(false);
  };
  ASSERT_EQ(Read(), 1.0);
  EXPECT_EQ(Asens_[0].Temperature, 23.812);
}

TEST_F(ThermometerReading, DeviceVanishingBetweenSelectionAndReadLeavesItsSlot) {
  Add<Ds18b20Device>(kB20, Faults{}, Settings(19.0));
  PutInSlot(0, kB20);
  PresetSlot(0);
  OpenSession();
  pump_.hook = [&](int call) {
    if (call == 1) driver_.bus().Find(kB20)->SetPresent(false);
  };
  EXPECT_EQ(Read(), -99.0);
  ExpectSlotUnchanged(0);
  EXPECT_EQ(Count("TMTouchByte(BE)=BE"), 0);
  EXPECT_FALSE(driver_.bus().StrongPullupActive());
}

// Every failure point of a reading: the reader returns -99 and the slot,
// and its neighbour, keep their values.
TEST_F(ThermometerReading, FailedReadingsNeverChangeASlot) {
  struct Case {
    const char* name;
    const char* op;
    int index;
    std::int32_t result;
  };
  const Case cases[] = {
      {"rom refused", "TMRom", 0, 0},
      {"session invalid", "TMValidSession", 0, 0},
      {"absent at selection", "TMStrongAccess", 0, 0},
      {"absent after the wait", "TMStrongAccess", 1, 0},
      {"adapter error after the wait", "TMStrongAccess", 1, -12},
      {"corrupted scratchpad byte", "TMTouchByte", 5, 0x13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    simbench::SensorBench bench;
    bench.Add<Ds18b20Device>(kB20, Faults{}, Settings(31.0));
    bench.Add<Ds18b20Device>(MakeRom(0x28, 2), Faults{}, Settings(-3.0));
    bench.PutInSlot(0, kB20);
    bench.PutInSlot(1, MakeRom(0x28, 2));
    bench.OpenSession();
    ThermometerReader reader(bench.bus_, bench.Asens_, bench.clock_, bench.pump_);
    ASSERT_EQ(reader.ReadThermometer(1), 1.0);
    bench.Asens_[0].Temperature = bench.Asens_[0].CorrectTemp = 11.5;
    bench.Asens_[0].FlagReadyValue = 0;
    // Hook indices count from the recorder's start: skip the calls so far.
    const auto& calls = bench.recorder_.calls();
    const int base =
        static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const auto& line) {
          return line.rfind(std::string(c.op) + "(", 0) == 0;
        }));
    bench.recorder_.SetHook([&](const std::string& op, int index, std::int32_t* result) {
      if (op != c.op || index != base + c.index) return false;
      *result = c.result;
      return true;
    });
    EXPECT_EQ(reader.ReadThermometer(0), -99.0);
    EXPECT_EQ(bench.Asens_[0].Temperature, 11.5);
    EXPECT_EQ(bench.Asens_[0].CorrectTemp, 11.5);
    EXPECT_EQ(bench.Asens_[0].UpLimitT, 0.0);
    EXPECT_EQ(bench.Asens_[0].FlagReadyValue, 0);
    EXPECT_EQ(bench.Asens_[1].Temperature, -3.0);
    EXPECT_FALSE(bench.driver_.bus().StrongPullupActive());
  }
}

// Scratchpads with a correct CRC that still cannot give a value, put on the
// bus in place of the chip's answer.
TEST_F(ThermometerReading, ScratchpadsWithoutMeaningAreFailedReadings) {
  struct Case {
    const char* name;
    std::uint8_t family;
    std::array<std::uint8_t, 8> bytes;
    double expected;
  };
  const Case cases[] = {
      {"0x10 nine zeros", 0x10, {0, 0, 0, 0, 0, 0, 0, 0}, -99},
      {"0x28 nine zeros", 0x28, {0, 0, 0, 0, 0, 0, 0, 0}, 1},
      {"0x28 configuration bit 7", 0x28, {0x91, 0x01, 0x4B, 0x46, 0xFF, 0xFF, 0x0C, 0x10}, -99},
      {"0x10 power-on", 0x10, {0xAA, 0x00, 0x01, 0x02, 0xFF, 0xFF, 0x0C, 0x10}, -99},
      {"0x28 power-on", 0x28, {0x50, 0x05, 0x4B, 0x46, 0x1F, 0xFF, 0x0C, 0x10}, -99},
      {"0x28 at +10.625", 0x28, {0xAA, 0x00, 0x4B, 0x46, 0x7F, 0xFF, 0x0C, 0x10}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    simbench::SensorBench bench;
    const RomCode rom = MakeRom(c.family, 5);
    if (c.family == 0x28) {
      bench.Add<Ds18b20Device>(rom, Faults{}, Settings(40.0));
    } else {
      bench.Add<Ds18s20Device>(rom, Faults{}, Settings(40.0));
    }
    bench.PutInSlot(0, rom);
    bench.OpenSession();
    std::array<std::uint8_t, 9> pad{};
    std::copy(c.bytes.begin(), c.bytes.end(), pad.begin());
    pad[8] = onewire::Crc8(std::span(pad).first(8));
    // TMTouchByte 0 is Convert T, 1 Read Scratchpad, 2..10 the nine bytes.
    bench.recorder_.SetHook([&](const std::string& op, int index, std::int32_t* result) {
      if (op != "TMTouchByte" || index < 2 || index > 10) return false;
      *result = pad[static_cast<std::size_t>(index - 2)];
      return true;
    });
    ThermometerReader reader(bench.bus_, bench.Asens_, bench.clock_, bench.pump_);
    EXPECT_EQ(reader.ReadThermometer(0), c.expected);
    EXPECT_EQ(bench.Asens_[0].FlagReadyValue, c.expected == 1 ? 1 : 0);
  }
}

TEST_F(ThermometerReading, BusyForeverNeverGivesAValue) {
  Faults busy;
  busy.busy_forever = true;
  auto& device = Add<Ds18b20Device>(kB20, busy, Settings(18.0));
  PutInSlot(0, kB20);
  OpenSession();
  EXPECT_EQ(Read(), -99.0);
  EXPECT_TRUE(device.Converting());
  EXPECT_EQ(Asens_[0].FlagReadyValue, 0);
}

TEST_F(ThermometerReading, LineReturnsToNormalWhenAMessageHandlerThrows) {
  Add<Ds18b20Device>(kB20, Faults{}, Settings(18.0));
  PutInSlot(0, kB20);
  OpenSession();
  pump_.hook = [](int) { throw std::runtime_error("handler failed"); };
  EXPECT_THROW(Read(), std::runtime_error);
  EXPECT_FALSE(driver_.bus().StrongPullupActive());
  EXPECT_EQ(recorder_.calls().back(), "TMOneWireLevel(1,0,0)=0");
}

TEST(ThermometerBusFile, AbsentAfterFaultStopsTheChipBeforeItsScratchpad) {
  // Resets answered: the session setup, the selection and the Match ROM
  // before Convert T; the chip is gone for the access after the wait.
  const std::string file = R"({"devices": [
    {"family": "28", "serial": "0000012A3B4C", "temperature": 30.0,
     "faults": {"absent_after": 3}}]})";
  simbench::SensorBench bench(sim::ParseBusFile(file, "bus.json"));
  bench.PutInSlot(0, kB20);
  bench.OpenSession();
  ThermometerReader reader(bench.bus_, bench.Asens_, bench.clock_, bench.pump_);
  EXPECT_EQ(reader.ReadThermometer(0), -99.0);
  EXPECT_EQ(bench.Asens_[0].FlagReadyValue, 0);
  EXPECT_EQ(bench.Asens_[0].Temperature, 0.0);
  const auto& calls = bench.recorder_.calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "TMTouchByte(44)=44"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "TMStrongAccess()=0"), 1);
}

TEST_F(ThermometerReading, SlotOutsideTheTableIsRefusedWithoutBusTraffic) {
  OpenSession();
  EXPECT_EQ(reader_.ReadThermometer(-1), -99.0);
  EXPECT_EQ(reader_.ReadThermometer(100), -99.0);
  EXPECT_TRUE(recorder_.calls().empty());
}

// One reading of each family from a bus file, call by call and byte by byte.
TEST(ThermometerTranscript, OneReadingOfEachFamily) {
  const std::string file = R"({"devices": [
    {"family": "28", "serial": "0000012A3B4C", "temperature": 23.5, "resolution": 12},
    {"family": "10", "serial": "000801A2B3C4", "temperature": -10.25, "parasite": true}]})";
  simbench::SensorBench bench(sim::ParseBusFile(file, "bus.json"));
  bench.PutInSlot(0, kB20);
  bench.PutInSlot(1, kS20);
  bench.OpenSession();
  ThermometerReader reader(bench.bus_, bench.Asens_, bench.clock_, bench.pump_);
  ASSERT_EQ(reader.ReadThermometer(0), 1.0);
  ASSERT_EQ(reader.ReadThermometer(1), 1.0);
  EXPECT_EQ(bench.Asens_[0].Temperature, 23.5);
  EXPECT_EQ(bench.Asens_[1].Temperature, -10.25);
  const std::string actual = bench.recorder_.Transcript();
  EXPECT_EQ(actual, simbench::ReadGolden("thermometers.txt", actual));
}

}  // namespace
}  // namespace orvel::sensors
