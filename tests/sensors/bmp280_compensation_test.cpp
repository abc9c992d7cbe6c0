#include "sensors/bmp280_compensation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "onewire/sim/devices/bmp280_fixed_point.h"

namespace orvel::sensors {
namespace {

constexpr std::array<std::uint8_t, 24> kDatasheetCalibration{
    0x70, 0x6B, 0x43, 0x67, 0x18, 0xFC, 0x7D, 0x8E, 0x43, 0xD6, 0xD0, 0x0B,
    0x27, 0x0B, 0x8C, 0x00, 0xF9, 0xFF, 0x8C, 0x3C, 0xF8, 0xC6, 0x70, 0x17};
constexpr std::array<std::uint8_t, 6> kDatasheetData{0x65, 0x5A, 0xC0, 0x7E, 0xED, 0x00};

TEST(Bmp280Calibration, WordsAreLowByteFirstWithT1AndP1Unsigned) {
  const auto c = ParseCalibration(kDatasheetCalibration.data());
  EXPECT_EQ(c.T1, 27504);
  EXPECT_EQ(c.T2, 26435);
  EXPECT_EQ(c.T3, -1000);
  EXPECT_EQ(c.P1, 36477);  // above 32767: unsigned
  EXPECT_EQ(c.P2, -10685);
  EXPECT_EQ(c.P3, 3024);  // c11 = 0x0B, c10 = 0xD0
  EXPECT_EQ(c.P4, 2855);
  EXPECT_EQ(c.P5, 140);
  EXPECT_EQ(c.P6, -7);
  EXPECT_EQ(c.P7, 15500);
  EXPECT_EQ(c.P8, -14600);
  EXPECT_EQ(c.P9, 6000);
  std::array<std::uint8_t, 24> high{};
  high[0] = 0xFF;
  high[1] = 0xFF;
  high[2] = 0xFF;
  high[3] = 0xFF;
  EXPECT_EQ(ParseCalibration(high.data()).T1, 65535);
  EXPECT_EQ(ParseCalibration(high.data()).T2, -1);
}

TEST(Bmp280Raw, TwentyBitsFromThreeBytes) {
  const auto raw = ParseRawData(kDatasheetData.data());
  EXPECT_EQ(raw.pressure, 415148);
  EXPECT_EQ(raw.temperature, 519888);
  const std::array<std::uint8_t, 6> top{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
  EXPECT_EQ(ParseRawData(top.data()).pressure, 0xFFFFF);
  EXPECT_EQ(ParseRawData(top.data()).temperature, 0xFFFF0);  // low nibble of xlsb ignored
}

TEST(Bmp280Compensation, DatasheetExample) {
  const auto v = Compensate(ParseCalibration(kDatasheetCalibration.data()),
                            ParseRawData(kDatasheetData.data()));
  EXPECT_EQ(v.fine, 128422);
  EXPECT_NEAR(v.temperature_c, 25.08, 0.005);
  // The maker's integer path agrees on the fine temperature and to a few
  // hundredths of a pascal.
  const auto cal = ParseCalibration(kDatasheetCalibration.data());
  EXPECT_EQ(sim::FineTemperature(cal, 519888), 128422);
  EXPECT_NEAR(sim::PressureQ24_8(cal, 415148, 128422) / 256.0, 100653.27, 0.05);
  EXPECT_NEAR(v.pressure_pa, 100653.27, 0.02);
  EXPECT_DOUBLE_EQ(v.stored_temperature, 25.08);
  EXPECT_DOUBLE_EQ(v.stored_pressure_kpa, 100.65);
  EXPECT_TRUE(v.has_pressure);
}

TEST(Bmp280Compensation, AllZeroCalibrationGivesZeroDegreesAndNoPressure) {
  const auto v = Compensate(Bmp280Calibration{}, ParseRawData(kDatasheetData.data()));
  EXPECT_DOUBLE_EQ(v.stored_temperature, 0.0);
  EXPECT_FALSE(v.has_pressure);
  EXPECT_DOUBLE_EQ(v.stored_pressure_kpa, 0.0);
}

TEST(Bmp280Compensation, ZeroP1KeepsTheTemperatureButGivesNoPressure) {
  auto cal = ParseCalibration(kDatasheetCalibration.data());
  cal.P1 = 0;
  const auto v = Compensate(cal, ParseRawData(kDatasheetData.data()));
  EXPECT_DOUBLE_EQ(v.stored_temperature, 25.08);
  EXPECT_FALSE(v.has_pressure);
  EXPECT_DOUBLE_EQ(v.stored_pressure_kpa, 0.0);
}

// The maker's floating-point compensation, written out here on its own,
// with the fine temperature rounded half to even as the program stores it.
struct Reference {
  double t;
  double p;  // 0 without a pressure
};

Reference DatasheetDouble(const Bmp280Calibration& c, double adc_T, double adc_P) {
  const double dig_T1 = c.T1, dig_T2 = c.T2, dig_T3 = c.T3;
  const double dig_P1 = c.P1, dig_P2 = c.P2, dig_P3 = c.P3, dig_P4 = c.P4, dig_P5 = c.P5;
  const double dig_P6 = c.P6, dig_P7 = c.P7, dig_P8 = c.P8, dig_P9 = c.P9;
  double var1 = (adc_T / 16384.0 - dig_T1 / 1024.0) * dig_T2;
  double var2 =
      ((adc_T / 131072.0 - dig_T1 / 8192.0) * (adc_T / 131072.0 - dig_T1 / 8192.0)) * dig_T3;
  const double t_fine = std::nearbyint(var1 + var2);
  const double T = (var1 + var2) / 5120.0;
  var1 = t_fine / 2.0 - 64000.0;
  var2 = var1 * var1 * dig_P6 / 32768.0;
  var2 = var2 + var1 * dig_P5 * 2.0;
  var2 = (var2 / 4.0) + (dig_P4 * 65536.0);
  var1 = (dig_P3 * var1 * var1 / 524288.0 + dig_P2 * var1) / 524288.0;
  var1 = (1.0 + var1 / 32768.0) * dig_P1;
  if (var1 == 0.0) return {T, 0.0};
  double p = 1048576.0 - adc_P;
  p = (p - (var2 / 4096.0)) * 6250.0 / var1;
  var1 = dig_P9 * p * p / 2147483648.0;
  var2 = p * dig_P8 / 32768.0;
  p = p + (var1 + var2 + dig_P7) / 16.0;
  return {T, p};
}

Bmp280Calibration RandomCalibration(std::mt19937& rng) {
  auto s16 = [&] { return static_cast<std::int16_t>(rng()); };
  auto u16 = [&] { return static_cast<std::uint16_t>(rng()); };
  Bmp280Calibration c;
  c.T1 = u16();
  c.T2 = s16();
  c.T3 = s16();
  c.P1 = u16();
  c.P2 = s16();
  c.P3 = s16();
  c.P4 = s16();
  c.P5 = s16();
  c.P6 = s16();
  c.P7 = s16();
  c.P8 = s16();
  c.P9 = s16();
  return c;
}

TEST(Bmp280Compensation, AgreesWithTheMakersDoubleFormulasOnRandomInputs) {
  std::mt19937 rng(2026);
  std::uniform_int_distribution<std::int32_t> raw20(0, 0xFFFFF);
  const auto datasheet = ParseCalibration(kDatasheetCalibration.data());
  for (int i = 0; i < 4000; ++i) {
    const Bmp280Calibration cal = i % 2 == 0 ? datasheet : RandomCalibration(rng);
    const Bmp280Raw raw{raw20(rng), raw20(rng)};
    const auto v = Compensate(cal, raw);
    const auto ref = DatasheetDouble(cal, raw.temperature, raw.pressure);
    ASSERT_DOUBLE_EQ(v.temperature_c, ref.t) << i;
    ASSERT_EQ(v.has_pressure, ref.p != 0.0) << i;
    if (!v.has_pressure) continue;
    ASSERT_NEAR(v.pressure_pa, ref.p, std::abs(ref.p) * 1e-12 + 1e-9) << i;
    ASSERT_DOUBLE_EQ(v.stored_pressure_kpa, std::nearbyint(ref.p / 10.0) / 100.0) << i;
  }
}

// Against the maker's integer compensation (the simulated chip's), over the
// sensor's working range: the two agree to the integer path's resolution.
TEST(Bmp280Compensation, AgreesWithTheIntegerFormulasOverTheWorkingRange) {
  std::mt19937 rng(19);
  const auto cal = ParseCalibration(kDatasheetCalibration.data());
  std::uniform_int_distribution<std::int32_t> adc_t(380000, 640000);  // about -40..85 C
  std::uniform_int_distribution<std::int32_t> adc_p(150000, 700000);
  for (int i = 0; i < 3000; ++i) {
    const Bmp280Raw raw{adc_p(rng), adc_t(rng)};
    const auto v = Compensate(cal, raw);
    const std::int32_t fine = sim::FineTemperature(cal, raw.temperature);
    ASSERT_NEAR(v.fine, fine, 16) << i;  // the integer path drops low bits
    ASSERT_NEAR(v.temperature_c, ((fine * 5 + 128) >> 8) / 100.0, 0.011) << i;
    ASSERT_NEAR(v.pressure_pa, sim::PressureQ24_8(cal, raw.pressure, fine) / 256.0, 1.0) << i;
  }
}

}  // namespace
}  // namespace orvel::sensors
