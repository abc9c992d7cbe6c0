#include "sensors/bridge_chip_decode.h"

#include <gtest/gtest.h>

#include <array>
#include <iomanip>
#include <random>

namespace orvel::sensors {
namespace {

TEST(CalcCrc8, DatasheetVector) {
  const std::array<std::uint8_t, 2> word{0xBE, 0xEF};
  EXPECT_EQ(CalcCRC8(word.data(), 2), 0x92);
  EXPECT_EQ(CalcCRC8(word.data(), 0), 0xFF);
}

// Without a final XOR, a word followed by its CRC checks to zero; a single
// flipped bit anywhere is caught.
TEST(CalcCrc8, WordWithItsCrcChecksToZeroAndCatchesOneBitErrors) {
  std::mt19937 rng(7);
  for (int i = 0; i < 500; ++i) {
    std::array<std::uint8_t, 3> w{static_cast<std::uint8_t>(rng()),
                                  static_cast<std::uint8_t>(rng()), 0};
    w[2] = CalcCRC8(w.data(), 2);
    EXPECT_EQ(CalcCRC8(w.data(), 3), 0);
    EXPECT_TRUE(WordCrcOk(w.data()));
    w[static_cast<std::size_t>(rng() % 3)] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
    EXPECT_FALSE(WordCrcOk(w.data()));
  }
}

struct Conversion {
  double (*convert)(std::uint16_t);
  std::uint16_t raw;
  double stored;
};
// The raw word and the value stored for it: the converter is the suite's.
void PrintTo(const Conversion& c, std::ostream* os) {
  *os << "raw 0x" << std::hex << std::uppercase << std::setfill('0') << std::setw(4) << c.raw
      << std::dec << " stored " << c.stored;
}

class StoredValues : public ::testing::TestWithParam<Conversion> {};

TEST_P(StoredValues, MatchTheChipFormulaWithItsRounding) {
  EXPECT_DOUBLE_EQ(GetParam().convert(GetParam().raw), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    HdcTemperature, StoredValues,
    ::testing::Values(Conversion{&HdcTemperature, 0x6666, 26.0},   // 25.9989...
                      Conversion{&HdcTemperature, 0x0000, -40.0},  // bottom of range
                      Conversion{&HdcTemperature, 0xFFFF, 125.0},  // 124.9975 rounds up
                      // Exact halves of a hundredth go to the even neighbour.
                      Conversion{&HdcTemperature, 0x2000, -19.38},   // -19.375
                      Conversion{&HdcTemperature, 0x6000, 21.88},    // 21.875
                      Conversion{&HdcTemperature, 0xA000, 63.12}));  // 63.125

INSTANTIATE_TEST_SUITE_P(HdcHumidity, StoredValues,
                         ::testing::Values(Conversion{&HdcHumidity, 0x8000, 50.0},
                                           Conversion{&HdcHumidity, 0x1000, 6.2},   // 6.25
                                           Conversion{&HdcHumidity, 0x3000, 18.8},  // 18.75
                                           Conversion{&HdcHumidity, 0x0000, 0.0},
                                           Conversion{&HdcHumidity, 0xFFFF, 100.0}));

INSTANTIATE_TEST_SUITE_P(Sensirion, StoredValues,
                         ::testing::Values(Conversion{&ShtTemperature, 0x6666, 25.0},
                                           Conversion{&ShtTemperature, 0x0000, -45.0},
                                           Conversion{&ShtTemperature, 0xFFFF, 130.0},
                                           Conversion{&ShtHumidity, 0xFFFF, 100.0}));

TEST(ShtHumidity, IsNotRounded) {
  EXPECT_NEAR(ShtHumidity(0x8000), 50.000763, 1e-6);
  EXPECT_NE(ShtHumidity(0x8000), 50.0);
}

}  // namespace
}  // namespace orvel::sensors
