#include "sensors/thermometer_decode.h"

#include <gtest/gtest.h>

#include <span>

#include "onewire/crc.h"
#include "onewire/rom_code.h"

namespace orvel::sensors {
namespace {

constexpr std::uint8_t k10 = onewire::kFamilyDs18s20;
constexpr std::uint8_t k28 = onewire::kFamilyDs18b20;

Scratchpad Pad(std::uint16_t word, std::uint8_t b4, std::uint8_t b6, std::uint8_t b7,
               std::uint8_t th = 0x4B, std::uint8_t tl = 0x46) {
  Scratchpad p{static_cast<std::uint8_t>(word & 0xFF),
               static_cast<std::uint8_t>(word >> 8),
               th,
               tl,
               b4,
               0xFF,
               b6,
               b7,
               0};
  p[8] = onewire::Crc8(std::span(p).first(8));
  return p;
}

std::uint8_t ConfigFor(int bits) { return static_cast<std::uint8_t>((bits - 9) << 5 | 0x1F); }

// The DS18B20 temperature/data table, with the value each resolution gives
// once the undefined low bits are masked off (12, 11, 10, 9 bits).
struct Ds18b20Row {
  std::uint16_t word;
  double at[4];
};
constexpr Ds18b20Row kDs18b20Table[] = {
    {0x07D0, {125.0, 125.0, 125.0, 125.0}},
    {0x0191, {25.0625, 25.0, 25.0, 25.0}},
    {0x00A2, {10.125, 10.125, 10.0, 10.0}},
    {0x0008, {0.5, 0.5, 0.5, 0.5}},
    {0x0000, {0.0, 0.0, 0.0, 0.0}},
    {0xFFF8, {-0.5, -0.5, -0.5, -0.5}},
    {0xFF5E, {-10.125, -10.125, -10.25, -10.5}},
    {0xFE6F, {-25.0625, -25.125, -25.25, -25.5}},
    {0xFC90, {-55.0, -55.0, -55.0, -55.0}},
};

TEST(ThermometerDecode, Ds18b20TableAtEveryResolution) {
  for (const auto& row : kDs18b20Table) {
    for (int bits = 12; bits >= 9; --bits) {
      const auto pad = Pad(row.word, ConfigFor(bits), 0x0C, 0x10);
      SCOPED_TRACE(testing::Message() << std::hex << row.word << std::dec << " at " << bits);
      ASSERT_EQ(CheckContent(k28, pad), ScratchpadContent::kUsable);
      EXPECT_EQ(DecodeTemperature(k28, pad), row.at[12 - bits]);
    }
  }
}

TEST(ThermometerDecode, Ds18b20PlusEightyFiveRowIsThePowerOnValueAndRejected) {
  for (int bits = 9; bits <= 12; ++bits) {
    const auto pad = Pad(0x0550, ConfigFor(bits), 0x0C, 0x10);
    EXPECT_EQ(CheckContent(k28, pad), ScratchpadContent::kPowerOn);
    EXPECT_FALSE(DecodeTemperature(k28, pad));
  }
}

// The DS18S20 table (9-bit word with the COUNT_REMAIN the chip shows for
// that exact temperature), then values between the half degrees.
TEST(ThermometerDecode, Ds18s20TableAndExtendedResolution) {
  struct Case {
    std::uint16_t word;
    std::uint8_t count_remain;
    double celsius;
  };
  const Case cases[] = {
      {0x00FA, 0x0C, 125.0},   {0x0032, 0x0C, 25.0},   {0x0001, 0x04, 0.5},
      {0x0000, 0x0C, 0.0},     {0xFFFF, 0x04, -0.5},   {0xFFCE, 0x0C, -25.0},
      {0xFF92, 0x0C, -55.0},   {0x0032, 0x07, 25.312},  // 25.3125 -> 25312.5 -> 25312
      {0x0032, 0x05, 25.438},                           // 25.4375 -> 25437.5 -> 25438
      {0x0033, 0x0C, 25.0},                             // bit 0 is dropped: 25.0, not 25.5
      {0xFFCE, 0x01, -24.312},                          // -24.3125 -> -24312.5 -> -24312
      {0x0032, 0x10, 24.75},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeTemperature(k10, Pad(c.word, 0xFF, c.count_remain, 0x10)), c.celsius)
        << std::hex << c.word << " remain " << int{c.count_remain};
  }
}

TEST(ThermometerDecode, PowerOnContentIsJudgedByTheFamilysOwnPattern) {
  const auto aa = Pad(0x00AA, 0xFF, 0x0C, 0x10);
  const auto aa_b20 = Pad(0x00AA, 0x7F, 0x0C, 0x10);
  EXPECT_EQ(CheckContent(k10, aa), ScratchpadContent::kPowerOn);
  // A genuine +10.625 C of a 0x28 carries the same bytes 0, 1, 6, 7.
  EXPECT_EQ(CheckContent(k28, aa_b20), ScratchpadContent::kUsable);
  EXPECT_EQ(DecodeTemperature(k28, aa_b20), 10.625);
  // 50 05 is +85 C power-on content only for a 0x28.
  EXPECT_EQ(CheckContent(k28, Pad(0x0550, 0x7F, 0x0C, 0x10)), ScratchpadContent::kPowerOn);
  EXPECT_FALSE(IsPowerOnContent(k10, Pad(0x0550, 0xFF, 0x0C, 0x10)));
  // The pattern needs bytes 6 and 7 too.
  EXPECT_FALSE(IsPowerOnContent(k10, Pad(0x00AA, 0xFF, 0x0B, 0x10)));
  EXPECT_FALSE(IsPowerOnContent(k28, Pad(0x0550, 0x7F, 0x0C, 0x11)));
}

TEST(ThermometerDecode, ContentWithoutAMeaningIsAFailedReading) {
  const Scratchpad zeros{};
  // Nine zero bytes pass the CRC; a 0x28 reads them as 0 C at 9 bits.
  EXPECT_EQ(onewire::Crc8(zeros), 0);
  EXPECT_EQ(DecodeTemperature(k28, zeros), 0.0);
  EXPECT_EQ(CheckContent(k10, zeros), ScratchpadContent::kNoCountPerC);
  EXPECT_FALSE(DecodeTemperature(k10, zeros));
  for (std::uint8_t config : {0x80, 0x9F, 0xFF, 0xE0}) {
    const auto pad = Pad(0x0191, config, 0x0C, 0x10);
    EXPECT_EQ(CheckContent(k28, pad), ScratchpadContent::kUnknownConfig) << int{config};
    EXPECT_FALSE(DecodeTemperature(k28, pad));
  }
  EXPECT_EQ(CheckContent(0x26, Pad(0x0191, 0x7F, 0x0C, 0x10)), ScratchpadContent::kUnknownFamily);
}

TEST(ThermometerDecode, WordsOutsideTheMeasuringRangeAreFailedReadings) {
  struct Case {
    std::uint8_t family;
    std::uint16_t word;
    bool usable;
  };
  for (const Case c : {Case{k28, 0x07D0, true},      // +125
                       Case{k28, 0x07E0, false},     // +126
                       Case{k28, 0xFC90, true},      // -55
                       Case{k28, 0xFC80, false},     // -56
                       Case{k28, 0x7FF0, false},     // +2047
                       Case{k10, 0x00FA, true},      // +125
                       Case{k10, 0x00FC, false},     // +126
                       Case{k10, 0xFF92, true},      // -55
                       Case{k10, 0xFF90, false},     // -56
                       Case{k10, 0xFED7, false}}) {  // -148.5, once passed by a CRC-8
    SCOPED_TRACE(testing::Message() << int{c.family} << " " << std::hex << c.word);
    const auto pad = Pad(c.word, 0x7F, 0x0C, 0x10);
    EXPECT_EQ(CheckContent(c.family, pad) == ScratchpadContent::kUsable, c.usable);
    EXPECT_EQ(DecodeTemperature(c.family, pad).has_value(), c.usable);
  }
}

// The datasheets' maximum conversion times: 93.75 ms at 9 bits doubling
// per bit (rounded up to whole ms), 750 ms for the DS18S20 and for a
// DS18B20 of unknown or invalid configuration.
TEST(ThermometerDecode, ConversionTimesFromTheDatasheets) {
  EXPECT_EQ(ConversionMillis(k28, ConfigFor(9)), 94U);
  EXPECT_EQ(ConversionMillis(k28, ConfigFor(10)), 188U);
  EXPECT_EQ(ConversionMillis(k28, ConfigFor(11)), 375U);
  EXPECT_EQ(ConversionMillis(k28, ConfigFor(12)), 750U);
  EXPECT_EQ(ConversionMillis(k28, std::nullopt), 750U);
  EXPECT_EQ(ConversionMillis(k28, 0xFF), 750U);
  EXPECT_EQ(ConversionMillis(k10, 0x1F), 750U);
}

TEST(ThermometerDecode, VerdictsOfOneConversion) {
  EXPECT_EQ(JudgeScratchpad(k28, Pad(0x0191, 0x7F, 0x0C, 0x10)), PadVerdict::kAccept);
  EXPECT_EQ(JudgeScratchpad(k28, Pad(0x0550, 0x7F, 0x0C, 0x10)), PadVerdict::kPowerOn);
  EXPECT_EQ(JudgeScratchpad(k10, Pad(0x00AA, 0xFF, 0x0C, 0x10)), PadVerdict::kPowerOn);
  // COUNT_PER_C - COUNT_REMAIN of 1: the edge of a count.
  EXPECT_EQ(JudgeScratchpad(k10, Pad(0x0032, 0xFF, 0x0F, 0x10)), PadVerdict::kConfirm);
  EXPECT_EQ(JudgeScratchpad(k10, Pad(0x0032, 0xFF, 0x0C, 0x00)), PadVerdict::kRefuse);
  EXPECT_EQ(JudgeScratchpad(k28, Pad(0x0191, 0xFF, 0x0C, 0x10)), PadVerdict::kRefuse);
}

TEST(ThermometerDecode, AlarmBytesAreSigned) {
  EXPECT_EQ(AlarmByteValue(0x7F), 127.0);
  EXPECT_EQ(AlarmByteValue(0x80), -128.0);
  EXPECT_EQ(AlarmByteValue(0xFF), -1.0);
  EXPECT_EQ(AlarmByteValue(0x4B), 75.0);
}

}  // namespace
}  // namespace orvel::sensors
