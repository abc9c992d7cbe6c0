#include "onewire/sim/devices/bmp280_fixed_point.h"

#include <cmath>
#include <functional>

namespace orvel::sim {
namespace {

constexpr std::int32_t kRawMax = (1 << 20) - 1;

// The raw value in [0, kRawMax] whose result is closest to target, for a
// result that only grows (rising) or only falls with the raw value.
std::int32_t Closest(const std::function<double(std::int32_t)>& result, double target,
                     bool rising) {
  std::int32_t lo = 0;
  std::int32_t hi = kRawMax;
  while (lo < hi) {  // first raw value at or past the target
    const std::int32_t mid = lo + (hi - lo) / 2;
    const bool past = rising ? result(mid) >= target : result(mid) <= target;
    if (past) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  if (lo > 0 && std::abs(result(lo - 1) - target) <= std::abs(result(lo) - target)) return lo - 1;
  return lo;
}

}  // namespace

std::int32_t FineTemperature(const sensors::Bmp280Calibration& cal, std::int32_t adc_t) {
  // 64-bit steps give the 32-bit results for every real calibration and
  // stay defined for the odd ones a bus file may hold.
  const std::int64_t t1 = cal.T1;
  const std::int64_t var1 = (((adc_t >> 3) - t1 * 2) * cal.T2) >> 11;
  const std::int64_t d = (adc_t >> 4) - t1;
  const std::int64_t var2 = (((d * d) >> 12) * cal.T3) >> 14;
  return static_cast<std::int32_t>(var1 + var2);
}

std::uint32_t PressureQ24_8(const sensors::Bmp280Calibration& cal, std::int32_t adc_p,
                            std::int32_t fine) {
  std::int64_t var1 = static_cast<std::int64_t>(fine) - 128000;
  std::int64_t var2 = var1 * var1 * cal.P6;
  var2 = var2 + var1 * cal.P5 * (std::int64_t{1} << 17);
  var2 = var2 + static_cast<std::int64_t>(cal.P4) * (std::int64_t{1} << 35);
  var1 = ((var1 * var1 * cal.P3) >> 8) + var1 * cal.P2 * (std::int64_t{1} << 12);
  var1 = (((std::int64_t{1} << 47) + var1) * cal.P1) >> 33;
  if (var1 == 0) return 0;
  std::int64_t p = 1048576 - adc_p;
  p = ((p * (std::int64_t{1} << 31) - var2) * 3125) / var1;
  var1 = (static_cast<std::int64_t>(cal.P9) * (p >> 13) * (p >> 13)) >> 25;
  var2 = (static_cast<std::int64_t>(cal.P8) * p) >> 19;
  p = ((p + var1 + var2) >> 8) + static_cast<std::int64_t>(cal.P7) * 16;
  return static_cast<std::uint32_t>(p);
}

std::int32_t RawTemperatureFor(const sensors::Bmp280Calibration& cal, double celsius) {
  return Closest([&](std::int32_t raw) { return static_cast<double>(FineTemperature(cal, raw)); },
                 celsius * 5120.0, true);
}

std::int32_t RawPressureFor(const sensors::Bmp280Calibration& cal, double pascal,
                            std::int32_t fine) {
  return Closest([&](std::int32_t raw) { return PressureQ24_8(cal, raw, fine) / 256.0; }, pascal,
                 false);
}

sensors::Bmp280Calibration DatasheetCalibration() {
  sensors::Bmp280Calibration cal;
  cal.T1 = 27504;
  cal.T2 = 26435;
  cal.T3 = -1000;
  cal.P1 = 36477;
  cal.P2 = -10685;
  cal.P3 = 3024;
  cal.P4 = 2855;
  cal.P5 = 140;
  cal.P6 = -7;
  cal.P7 = 15500;
  cal.P8 = -14600;
  cal.P9 = 6000;
  return cal;
}

}  // namespace orvel::sim
