// The chip models behind the bridge take any value a bus file lets through
// without undefined behaviour; the asan-ubsan preset turns any into a
// failure.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "onewire/sim/devices/bmp280_fixed_point.h"
#include "onewire/sim/devices/hdc_chip.h"
#include "onewire/sim/devices/sensirion_chip.h"

namespace orvel::sim {
namespace {

constexpr std::int32_t kRawMax = (1 << 20) - 1;

// Every word at the ends of the range the bus file accepts: T1 and P1 at 0
// or 65535, the signed words at -32768 or 32767, in a few mixtures.
std::array<sensors::Bmp280Calibration, 4> CornerCalibrations() {
  std::array<sensors::Bmp280Calibration, 4> all{};
  for (std::size_t k = 0; k < all.size(); ++k) {
    auto& c = all[k];
    const auto word = [&](std::size_t i) -> std::int16_t {
      return ((k >> (i % 2)) & 1) != 0 ? std::int16_t{32767} : std::int16_t{-32768};
    };
    c.T1 = k % 2 == 0 ? 65535 : 0;
    c.T2 = word(1);
    c.T3 = word(2);
    c.P1 = k < 2 ? 65535 : 1;
    c.P2 = word(4);
    c.P3 = word(5);
    c.P4 = word(6);
    c.P5 = word(7);
    c.P6 = word(8);
    c.P7 = word(9);
    c.P8 = word(10);
    c.P9 = word(11);
  }
  return all;
}

TEST(SimBmp280FixedPoint, CornerCalibrationsGiveRawValuesInRange) {
  for (const auto& cal : CornerCalibrations()) {
    for (const std::int32_t adc : {0, 1, 519888, kRawMax}) {
      const std::int32_t fine = FineTemperature(cal, adc);
      for (const std::int32_t adc_p : {0, 415148, kRawMax}) PressureQ24_8(cal, adc_p, fine);
      const std::int32_t raw = RawPressureFor(cal, 101325.0, fine);
      EXPECT_GE(raw, 0);
      EXPECT_LE(raw, kRawMax);
    }
    const std::int32_t raw_t = RawTemperatureFor(cal, 21.0);
    EXPECT_GE(raw_t, 0);
    EXPECT_LE(raw_t, kRawMax);
  }
}

// A NaN or an infinity is the bottom or the top of the scale, not an
// undefined conversion.
TEST(SimChipCodes, NonFiniteValuesGiveTheEndsOfTheScale) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(HdcChip::TemperatureCode(nan), 0);
  EXPECT_EQ(HdcChip::HumidityCode(nan), 0);
  EXPECT_EQ(HdcChip::TemperatureCode(inf), 0xFFFC);
  EXPECT_EQ(HdcChip::HumidityCode(-inf), 0);
  EXPECT_EQ(SensirionChip::TemperatureCode(nan), 0);
  EXPECT_EQ(SensirionChip::HumidityCode(nan), 0);
  EXPECT_EQ(SensirionChip::TemperatureCode(inf), 0xFFFF);
  EXPECT_EQ(SensirionChip::HumidityCode(-inf), 0);
}

}  // namespace
}  // namespace orvel::sim
