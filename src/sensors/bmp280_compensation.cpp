#include "sensors/bmp280_compensation.h"

#include <cmath>

#include "core/rounding.h"

namespace orvel::sensors {
namespace {

std::uint16_t Unsigned(const std::uint8_t* b) {
  return static_cast<std::uint16_t>(b[1] << 8 | b[0]);
}
std::int16_t Signed(const std::uint8_t* b) { return static_cast<std::int16_t>(Unsigned(b)); }

}  // namespace

Bmp280Calibration ParseCalibration(const std::uint8_t* c) {
  Bmp280Calibration cal;
  cal.T1 = Unsigned(c + 0);
  cal.T2 = Signed(c + 2);
  cal.T3 = Signed(c + 4);
  cal.P1 = Unsigned(c + 6);
  cal.P2 = Signed(c + 8);
  cal.P3 = Signed(c + 10);
  cal.P4 = Signed(c + 12);
  cal.P5 = Signed(c + 14);
  cal.P6 = Signed(c + 16);
  cal.P7 = Signed(c + 18);
  cal.P8 = Signed(c + 20);
  cal.P9 = Signed(c + 22);
  return cal;
}

Bmp280Raw ParseRawData(const std::uint8_t* d) {
  Bmp280Raw raw;
  raw.pressure = d[0] * 4096 + d[1] * 16 + (d[2] >> 4);
  raw.temperature = d[3] * 4096 + d[4] * 16 + (d[5] >> 4);
  return raw;
}

Bmp280Values Compensate(const Bmp280Calibration& cal, const Bmp280Raw& raw) {
  Bmp280Values v;
  const double adc_t = raw.temperature;
  const double x1 = (adc_t / 16384.0 - cal.T1 / 1024.0) * cal.T2;
  const double d = adc_t / 131072.0 - cal.T1 / 8192.0;
  const double x2 = d * d * cal.T3;
  v.fine = static_cast<std::int32_t>(core::RoundHalfEven(x1 + x2));
  v.temperature_c = (x1 + x2) / 5120.0;
  v.stored_temperature = core::RoundHalfEven(v.temperature_c * 100.0) / 100.0;

  double a = v.fine / 2.0 - 64000.0;
  double b = a * a * cal.P6 / 32768.0;
  b = b + a * cal.P5 * 2.0;
  b = b / 4.0 + cal.P4 * 65536.0;
  a = (cal.P3 * a * a / 524288.0 + cal.P2 * a) / 524288.0;
  a = (1.0 + a / 32768.0) * cal.P1;
  if (a == 0.0) return v;  // no pressure without a usable P1
  double p = 1048576.0 - raw.pressure;
  p = (p - b / 4096.0) * 6250.0 / a;
  a = cal.P9 * p * p / 2147483648.0;
  b = p * cal.P8 / 32768.0;
  p = p + (a + b + cal.P7) / 16.0;
  v.pressure_pa = p;
  v.has_pressure = true;
  v.stored_pressure_kpa = core::RoundHalfEven(p / 10.0) / 100.0;
  return v;
}

}  // namespace orvel::sensors
