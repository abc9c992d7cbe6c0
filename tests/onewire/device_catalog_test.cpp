#include "onewire/device_catalog.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/memory_controls.h"
#include "core/virtual_clock.h"
#include "onewire/sim/devices/rom_only_device.h"
#include "onewire/sim/simulated_driver.h"
#include "support/recording_tmex.h"

namespace orvel::onewire {
namespace {

std::array<std::int16_t, 9> Buffer(const RomCode& rom) {
  std::array<std::int16_t, 9> buf{};
  for (std::size_t i = 0; i < 8; ++i) buf[i] = rom[i];
  return buf;
}

class Catalog : public testing::Test {
 protected:
  core::VirtualClock clock_;
  sim::SimulatedDriver driver_{clock_};
  testing_support::RecordingTmex rec_{driver_.tmex()};
  BusSession bus_{rec_};
  core::MemoryText stat1_{"Адаптер найден"};
  DeviceCatalog catalog_{bus_, stat1_};
};

struct RegisterCase {
  RomCode rom;
  const char* text;
  std::int32_t family;
  bool id_chip;
};
void PrintTo(const RegisterCase& c, std::ostream* os) { *os << "rom " << RomText(c.rom); }

class RegisterDeviceCases : public Catalog, public testing::WithParamInterface<RegisterCase> {};

TEST_P(RegisterDeviceCases, TextFamilyAndStatus) {
  const auto& c = GetParam();
  catalog_.Asens[3].lastWrLogDateTime = 46000.5;
  catalog_.RegisterDevice(Buffer(c.rom).data(), 3);
  const CurrentSens& s = catalog_.Asens[3];
  EXPECT_EQ(s.ROMS, c.text);
  EXPECT_EQ(s.Family, c.family);
  EXPECT_EQ(s.Rom(), c.rom);
  EXPECT_EQ(s.lastWrLogDateTime, 0.0);  // the journal gate opens again
  EXPECT_EQ(stat1_.Text(), c.id_chip ? "Адаптер найден  " + std::string(c.text) : "Адаптер найден");
}

INSTANTIATE_TEST_SUITE_P(
    Families, RegisterDeviceCases,
    testing::Values(
        RegisterCase{
            {0x28, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x56}, "5666554433221128", 40, false},
        RegisterCase{
            {0x10, 0xC4, 0xB3, 0xA2, 0x01, 0x08, 0x00, 0xCA}, "CA000801A2B3C410", 16, false},
        RegisterCase{
            {0x26, 0xC3, 0xB2, 0xA1, 0x00, 0x00, 0x00, 0x4D}, "4D000000A1B2C326", 38, false},
        RegisterCase{
            {0x19, 0x3F, 0x2E, 0x1D, 0x00, 0x00, 0x00, 0x7B}, "7B0000001D2E3F19", 25, false},
        RegisterCase{{0x01, 0xFE, 0xCA, 0xAD, 0x0B, 0x00, 0x00, 0x36}, "3600000BADCAFE01", 0, true},
        RegisterCase{{0x81, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF}, "FF00000000000081", 0, true},
        // An unknown family keeps its text; a bad CRC is not checked.
        RegisterCase{
            {0x20, 0x33, 0x22, 0x11, 0x00, 0x00, 0x00, 0x00}, "0000000011223320", 0, false}));

TEST_F(Catalog, AnotherCodeInASlotStartsItAfreshTheSameCodeKeepsItsReadings) {
  const RomCode first = MakeRom(0x28, 1);
  catalog_.RegisterDevice(Buffer(first).data(), 0);
  CurrentSens& s = catalog_.Asens[0];
  s.Temperature = 21.5;
  s.CorrectTemp = 21.4;
  s.Hu = 45.0;
  s.Pressure = 100.6;
  s.UpLimitT = 30.0;
  s.DownLimitT = 10.0;
  s.FlagReadyValue = 1;
  s.ROM[9] = 7;

  catalog_.RegisterDevice(Buffer(first).data(), 0);
  EXPECT_EQ(s.Temperature, 21.5);
  EXPECT_EQ(s.CorrectTemp, 21.4);
  EXPECT_EQ(s.Hu, 45.0);
  EXPECT_EQ(s.Pressure, 100.6);
  EXPECT_EQ(s.UpLimitT, 30.0);
  EXPECT_EQ(s.FlagReadyValue, 1);
  EXPECT_EQ(s.ROM[9], 7);

  // A different device in the same slot must not show the old one's values.
  const RomCode second = MakeRom(0x26, 2);
  catalog_.RegisterDevice(Buffer(second).data(), 0);
  EXPECT_EQ(s.ROMS, RomText(second));
  EXPECT_EQ(s.Family, 0x26);
  EXPECT_EQ(s.Temperature, 0.0);
  EXPECT_EQ(s.CorrectTemp, 0.0);
  EXPECT_EQ(s.Hu, 0.0);
  EXPECT_EQ(s.Pressure, 0.0);
  EXPECT_EQ(s.UpLimitT, 0.0);
  EXPECT_EQ(s.DownLimitT, 0.0);
  EXPECT_EQ(s.FlagReadyValue, 0);
  EXPECT_EQ(s.ROM[9], 0);
}

TEST_F(Catalog, SlotsOutsideTheTableAreNotWritten) {
  const RomCode rom = MakeRom(0x28, 1);
  const DeviceTable before = catalog_.Asens;
  catalog_.RegisterDevice(Buffer(rom).data(), kSlotCount);
  catalog_.RegisterDevice(Buffer(rom).data(), -1);
  for (int i = 0; i < kSlotCount; ++i)
    EXPECT_TRUE(catalog_.Asens[static_cast<size_t>(i)].ROMS.empty());
  catalog_.RegisterDevice(Buffer(rom).data(), kSlotCount - 1);
  EXPECT_EQ(catalog_.Asens[kSlotCount - 1].ROMS, RomText(rom));
}

TEST_F(Catalog, Hex2RomFillsTheBufferAndSelectsTheDevice) {
  bus_.ROM.fill(0x55);
  catalog_.Hex2Rom("5666554433221128");
  const std::array<std::int16_t, 9> expected{0x28, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x56, 0};
  EXPECT_EQ(bus_.ROM, expected);
  EXPECT_EQ(rec_.calls(), std::vector<std::string>{"TMRom(set)=-200"});  // no session yet
}

TEST_F(Catalog, Hex2RomMakesTheNamedDeviceCurrentForStrongAccess) {
  const RomCode a = MakeRom(0x28, 1);
  const RomCode b = MakeRom(0x28, 2);
  driver_.bus().Add(std::make_unique<sim::RomOnlyDevice>(a, sim::Faults{}));
  bus_.SHandle = rec_.TMExtendedStartSession(1, 6, nullptr);
  catalog_.Hex2Rom(RomText(a));
  EXPECT_EQ(rec_.TMStrongAccess(bus_.SHandle, bus_.StateBuf.data()), 1);
  catalog_.Hex2Rom(RomText(b));
  EXPECT_EQ(rec_.TMStrongAccess(bus_.SHandle, bus_.StateBuf.data()), 0);
}

struct BadText {
  const char* text;
  bool throws;
  std::array<std::int16_t, 9> rom_after;  // with the buffer preset to 0x55
};
void PrintTo(const BadText& c, std::ostream* os) { *os << "text \"" << c.text << '"'; }

class Hex2RomBadTexts : public Catalog, public testing::WithParamInterface<BadText> {};

TEST_P(Hex2RomBadTexts, LeaveTheBufferAsConvertedAndCallNothing) {
  const auto& c = GetParam();
  bus_.ROM.fill(0x55);
  if (c.throws) {
    EXPECT_THROW(catalog_.Hex2Rom(c.text), RomTextError);
  } else {
    catalog_.Hex2Rom(c.text);
  }
  EXPECT_EQ(bus_.ROM, c.rom_after);
  EXPECT_TRUE(rec_.calls().empty());
}

constexpr std::array<std::int16_t, 9> kUntouched{0x55, 0x55, 0x55, 0x55, 0x55,
                                                 0x55, 0x55, 0x55, 0x55};

INSTANTIATE_TEST_SUITE_P(
    Texts, Hex2RomBadTexts,
    testing::Values(
        BadText{"566655443322112", false, kUntouched},    // 15 characters
        BadText{"56665544332211280", false, kUntouched},  // 17
        BadText{"", false, kUntouched},
        // Lower-case letters are not hex digits here; the first one stops it.
        BadText{"a666554433221128", true, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        BadText{"56665544332211a8", true, {0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x56, 0}},
        // The high half of element 0 was converted before the bad low half.
        BadText{"566655443322112g", true, {0x20, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x56, 0}},
        BadText{"5666 54433221128", true, {0, 0, 0, 0, 0, 0, 0x66, 0x56, 0}},
        BadText{"G666554433221128", true, {0, 0, 0, 0, 0, 0, 0, 0, 0}}));

TEST_F(Catalog, DigitsAloneNeverFail) {
  for (char c = '0'; c <= '9'; ++c) {
    const std::string text(16, c);
    EXPECT_NO_THROW(catalog_.Hex2Rom(text));
    EXPECT_EQ(bus_.ROM[0], (c - '0') * 17);
  }
}

TEST_F(Catalog, SendAllDevicesBroadcastsSkipRomAndSleep) {
  driver_.bus().Add(std::make_unique<sim::RomOnlyDevice>(MakeRom(0x19, 1), sim::Faults{}));
  bus_.SHandle = rec_.TMExtendedStartSession(1, 6, nullptr);
  rec_.Clear();
  driver_.bus().ResetTraffic();
  catalog_.sendAllDevices();
  EXPECT_EQ(rec_.calls(), (std::vector<std::string>{"TMValidSession()=1", "TMTouchReset()=1",
                                                    "TMTouchByte(CC)=CC", "TMTouchByte(1E)=1E"}));
  const auto& t = driver_.bus().traffic();
  EXPECT_EQ(t.resets, 1U);
  EXPECT_EQ(t.slots, 16U);
  EXPECT_EQ(t.bus_us, sim::kResetMicros + 16 * sim::kSlotMicros);
}

TEST_F(Catalog, SendAllDevicesDoesNothingWithoutAValidSession) {
  bus_.SHandle = rec_.TMExtendedStartSession(1, 6, nullptr);
  rec_.TMEndSession(bus_.SHandle);
  rec_.Clear();
  driver_.bus().ResetTraffic();
  catalog_.sendAllDevices();
  EXPECT_EQ(rec_.calls(), std::vector<std::string>{"TMValidSession()=0"});
  EXPECT_EQ(driver_.bus().traffic().resets, 0U);
}

}  // namespace
}  // namespace orvel::onewire
