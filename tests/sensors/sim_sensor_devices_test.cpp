#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "onewire/crc.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/devices/ds18b20_device.h"
#include "onewire/sim/devices/ds18s20_device.h"
#include "onewire/sim/devices/ds2438_device.h"
#include "sensor_bench.h"

namespace orvel::sim {
namespace {

using onewire::MakeRom;
using onewire::RomCode;

const RomCode kB20 = MakeRom(0x28, 0x0000012A3B4C);
const RomCode kS20 = MakeRom(0x10, 0x000801A2B3C4);
const RomCode kHlt = MakeRom(0x26, 0x000000A1B2C3);

// Talks to one chip the way a datasheet describes it: Match ROM, then the
// function command bytes.
class ChipTalk : public testing::Test, public sensors::simbench::SensorBench {
 protected:
  void Select(const RomCode& rom) {
    if (bus_.SHandle == 0) OpenSession();
    std::int16_t code[9] = {};
    for (std::size_t i = 0; i < 8; ++i) code[i] = rom[i];
    ASSERT_EQ(tmex().TMRom(bus_.SHandle, bus_.StateBuf.data(), code), 1);
    ASSERT_EQ(tmex().TMAccess(bus_.SHandle, bus_.StateBuf.data()), 1);
  }
  void Send(std::initializer_list<int> bytes) {
    for (int b : bytes) tmex().TMTouchByte(bus_.SHandle, static_cast<std::int16_t>(b));
  }
  std::vector<std::uint8_t> Read(int n) {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < n; ++i) {
      out.push_back(static_cast<std::uint8_t>(tmex().TMTouchByte(bus_.SHandle, 0xFF)));
    }
    return out;
  }
  // Select, command, nine bytes; the CRC must hold.
  std::vector<std::uint8_t> Scratchpad(const RomCode& rom, std::initializer_list<int> command) {
    Select(rom);
    Send(command);
    auto pad = Read(9);
    EXPECT_EQ(onewire::Crc8(pad), 0);
    return pad;
  }
  int Bit() { return tmex().TMTouchBit(bus_.SHandle, 1); }
  // Bus microseconds from now until the chip's read slots turn to 1.
  SimTime BusyTime() {
    const SimTime start = driver_.bus().Now();
    while (Bit() == 0) clock_.Advance(100);
    return driver_.bus().Now() - start;
  }
  onewire::Tmex& tmex() { return driver_.tmex(); }
};

ThermometerSettings Celsius(double t) {
  ThermometerSettings s;
  s.temperature = SimValue::Constant(t);
  return s;
}

TEST_F(ChipTalk, Ds18b20ConversionTimeFollowsTheWrittenResolution) {
  Add<Ds18b20Device>(kB20, Faults{}, Celsius(21.0));
  const struct {
    int config;
    SimTime micros;
  } cases[] = {{0x1F, 93'750}, {0x3F, 187'500}, {0x5F, 375'000}, {0x7F, 750'000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.config);
    Select(kB20);
    Send({0x4E, 0x4B, 0x46, c.config});
    Select(kB20);
    Send({0x44});
    const SimTime busy = BusyTime();
    EXPECT_GE(busy, c.micros);
    EXPECT_LT(busy, c.micros + 200);
  }
}

TEST_F(ChipTalk, Ds18b20ScratchpadWriteCopyAndRecall) {
  Add<Ds18b20Device>(kB20, Faults{}, Celsius(21.0));
  // Power-on content until the first conversion.
  EXPECT_EQ(Scratchpad(kB20, {0xBE}),
            (std::vector<std::uint8_t>{0x50, 0x05, 0x4B, 0x46, 0x7F, 0xFF, 0x0C, 0x10, 0x1C}));
  // Only the resolution bits of the configuration can be written.
  Select(kB20);
  Send({0x4E, 0x19, 0xF6, 0xDF});
  auto pad = Scratchpad(kB20, {0xBE});
  EXPECT_EQ(pad[2], 0x19);
  EXPECT_EQ(pad[3], 0xF6);
  EXPECT_EQ(pad[4], 0x5F);
  // Recall without a copy brings back the EEPROM bytes.
  Select(kB20);
  Send({0xB8});
  EXPECT_EQ(Bit(), 1);
  pad = Scratchpad(kB20, {0xBE});
  EXPECT_EQ(pad[2], 0x4B);
  EXPECT_EQ(pad[4], 0x7F);
  // After a copy the written bytes survive a recall.
  Select(kB20);
  Send({0x4E, 0x19, 0xF6, 0x1F});
  Select(kB20);
  Send({0x48});
  Select(kB20);
  Send({0xB8});
  pad = Scratchpad(kB20, {0xBE});
  EXPECT_EQ(pad[2], 0x19);
  EXPECT_EQ(pad[3], 0xF6);
  EXPECT_EQ(pad[4], 0x1F);
}

TEST_F(ChipTalk, ReadPowerSupplyTellsParasiteChips) {
  ThermometerSettings parasite = Celsius(5.0);
  parasite.parasite = true;
  Add<Ds18b20Device>(kB20, Faults{}, Celsius(5.0));
  Add<Ds18s20Device>(kS20, Faults{}, parasite);
  Select(kB20);
  Send({0xB4});
  EXPECT_EQ(Bit(), 1);
  Select(kS20);
  Send({0xB4});
  EXPECT_EQ(Bit(), 0);
}

TEST_F(ChipTalk, Ds18s20ConvertsIn750msAndWritesTwoBytes) {
  Add<Ds18s20Device>(kS20, Faults{}, Celsius(25.3125));
  EXPECT_EQ(Scratchpad(kS20, {0xBE})[0], 0xAA);
  Select(kS20);
  Send({0x44});
  const SimTime busy = BusyTime();
  EXPECT_GE(busy, 750'000);
  EXPECT_LT(busy, 750'200);
  Select(kS20);
  Send({0x4E, 0x7F, 0x80, 0x12});  // a third byte has nowhere to go
  EXPECT_EQ(Scratchpad(kS20, {0xBE}),
            (std::vector<std::uint8_t>{0x33, 0x00, 0x7F, 0x80, 0xFF, 0xFF, 0x07, 0x10,
                                       onewire::Crc8(std::vector<std::uint8_t>{
                                           0x33, 0x00, 0x7F, 0x80, 0xFF, 0xFF, 0x07, 0x10})}));
}

TEST_F(ChipTalk, Ds2438BusyBitsAndRegisters) {
  Ds2438Settings s;
  s.temperature = SimValue::Constant(-10.25);
  s.vdd = SimValue::Constant(5.0);
  s.vad = SimValue::Constant(2.5);
  auto& chip = Add<Ds2438Device>(kHlt, Faults{}, s);
  const auto page0 = [&] {
    Select(kHlt);
    Send({0xB8, 0x00});
    return Scratchpad(kHlt, {0xBE, 0x00});
  };
  EXPECT_EQ(page0()[0], 0x0F);
  Select(kHlt);
  Send({0x44});
  EXPECT_EQ(page0()[0] & 0x50, 0x10);  // TB while converting
  clock_.Advance(10'000);
  auto page = page0();
  EXPECT_EQ(page[0], 0x0F);
  EXPECT_EQ(page[1], 0xC0);  // -10.25 C: 0xF5C0
  EXPECT_EQ(page[2], 0xF5);

  Select(kHlt);
  Send({0xB4});
  EXPECT_GE(BusyTime(), 10'000);
  page = page0();
  EXPECT_EQ(page[3] | page[4] << 8, 500);  // VDD, 10 mV steps

  // Written but not copied: the conversion still takes VDD.
  Select(kHlt);
  Send({0x4E, 0x00, 0x07});
  Select(kHlt);
  Send({0xB4});
  clock_.Advance(10'000);
  EXPECT_EQ(page0()[3], 0xF4);
  // Copied: the sensor input.
  Select(kHlt);
  Send({0x4E, 0x00, 0x07});
  Select(kHlt);
  Send({0x48, 0x00});
  Select(kHlt);
  Send({0xB4});
  clock_.Advance(10'000);
  page = page0();
  EXPECT_EQ(page[0], 0x07);
  EXPECT_EQ(page[3] | page[4] << 8, 250);
  EXPECT_EQ(chip.Status(driver_.bus().Now()), 0x07);
}

TEST_F(ChipTalk, Ds2438BusyForeverKeepsItsBusyBits) {
  Faults busy;
  busy.busy_forever = true;
  auto& chip = Add<Ds2438Device>(kHlt, busy, Ds2438Settings{});
  Select(kHlt);
  Send({0x44});
  Select(kHlt);
  Send({0xB4});
  clock_.Advance(3'600'000'000LL);
  EXPECT_EQ(chip.Status(driver_.bus().Now()) & 0x50, 0x50);
}

TEST(Ds2438SensorVoltage, InvertsTheHumidityFormula) {
  // 54.7627 %RH at 25 C is 2.50 V of a 5.00 V supply; 0 %RH is the offset.
  EXPECT_NEAR(Ds2438Device::SensorVoltage(54.7627, 25.0, 5.0), 2.5, 1e-4);
  EXPECT_NEAR(Ds2438Device::SensorVoltage(0.0, 25.0, 5.0), 0.7575, 1e-12);
  EXPECT_NEAR(Ds2438Device::SensorVoltage(100.0, 25.0, 4.0),
              4.0 * (100 * 1.0006 * 0.00636 + 0.1515), 1e-9);
}

TEST(SensorBusFile, RefusesKeysAndValuesAChipDoesNotHave) {
  const char* bad[] = {
      R"({"devices": [{"family": "10", "serial": "000000000001", "resolution": 12}]})",
      R"({"devices": [{"family": "28", "serial": "000000000001", "resolution": 13}]})",
      R"({"devices": [{"family": "28", "serial": "000000000001", "th": 256}]})",
      R"({"devices": [{"family": "28", "serial": "000000000001", "humidity": 5}]})",
      R"({"devices": [{"family": "26", "serial": "000000000001", "vad": 2.0, "rh": 40}]})",
      R"({"devices": [{"family": "26", "serial": "000000000001", "resolution": 12}]})",
      R"({"devices": [{"family": "26", "serial": "000000000001", "config": 256}]})",
  };
  for (const char* text : bad) {
    EXPECT_THROW(ParseBusFile(text, "bad.json"), BusFileError) << text;
  }
  const auto spec = ParseBusFile(
      R"({"devices": [{"family": "28", "serial": "000000000001", "temperature": 1, "th": -5,
          "tl": 200, "resolution": 9, "parasite": true, "faults": {"power_on": true}},
         {"family": "26", "serial": "000000000002", "temperature": {"base": 20, "amplitude": 2},
          "vdd": 5, "vad": 1.5, "config": 7}]})",
      "good.json");
  EXPECT_EQ(spec.devices.size(), 2U);
}

}  // namespace
}  // namespace orvel::sim
