#include "sensors/humidity_decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvel::sensors {
namespace {

HumidityPage Page(std::uint8_t status, std::uint16_t temp_word, std::uint16_t volt_word) {
  return {status,
          static_cast<std::uint8_t>(temp_word & 0xFF),
          static_cast<std::uint8_t>(temp_word >> 8),
          static_cast<std::uint8_t>(volt_word & 0xFF),
          static_cast<std::uint8_t>(volt_word >> 8),
          0,
          0,
          0,
          0};
}

TEST(HumidityDecode, TemperatureRegisterRoundsToHundredthsHalvesToEven) {
  const struct {
    std::uint16_t word;
    double celsius;
  } cases[] = {
      {0x1900, 25.0},  {0xF5C0, -10.25}, {0x0020, 0.12},  {0x0060, 0.38}, {0x0000, 0.0},
      {0x7D00, 125.0}, {0xC900, -55.0},  {0xFFF8, -0.03}, {0x0007, 0.0},  // the three low bits are
                                                                          // not part of the count
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PageTemperature(Page(0, c.word, 0)), c.celsius) << std::hex << c.word;
  }
}

TEST(HumidityDecode, HumidityAndFaultCodes) {
  const struct {
    double vsens, adc0, temperature, hu;
  } cases[] = {
      {5.00, 2.50, 25.0, 54.8},  {5.00, 4.00, 25.0, 999.0},
      {5.00, 0.75, 25.0, 0.0},   {3.99, 2.50, 25.0, 998.0},
      {4.00, 2.50, 25.0, 74.4},  // exactly 4.0 V passes
      {0.00, 2.50, 25.0, 998.0}, {5.00, 0.00, 25.0, 0.0},
      {5.00, 0.7575, 25.0, 0.0},  // exactly the sensor's zero
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HumidityFromVoltages(c.vsens, c.adc0, c.temperature), c.hu)
        << c.vsens << " " << c.adc0 << " " << c.temperature;
  }
}

TEST(HumidityDecode, ArithmeticFaultsGive995) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  // 1.0546 - 0.00216 T is 0 at this temperature.
  const double pole = 1.0546 / 0.00216;
  EXPECT_EQ(HumidityFromVoltages(5.0, 2.5, pole), 995.0);
  EXPECT_EQ(HumidityFromVoltages(nan, 2.5, 25.0), 995.0);
  EXPECT_EQ(HumidityFromVoltages(5.0, nan, 25.0), 995.0);
  EXPECT_EQ(HumidityFromVoltages(5.0, inf, 25.0), 995.0);
}

}  // namespace
}  // namespace orvel::sensors
