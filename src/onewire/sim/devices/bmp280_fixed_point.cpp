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

// A signed 64-bit integer whose sums, products and left shifts wrap modulo
// 2^64 instead of overflowing; right shifts are arithmetic.
struct Wrapping64 {
  std::int64_t value;

  static Wrapping64 Of(std::uint64_t bits) { return {static_cast<std::int64_t>(bits)}; }
  std::uint64_t bits() const { return static_cast<std::uint64_t>(value); }

  friend Wrapping64 operator+(Wrapping64 a, Wrapping64 b) { return Of(a.bits() + b.bits()); }
  friend Wrapping64 operator-(Wrapping64 a, Wrapping64 b) { return Of(a.bits() - b.bits()); }
  friend Wrapping64 operator*(Wrapping64 a, Wrapping64 b) { return Of(a.bits() * b.bits()); }
  friend Wrapping64 operator<<(Wrapping64 a, int n) { return Of(a.bits() << n); }
  friend Wrapping64 operator>>(Wrapping64 a, int n) { return {a.value >> n}; }
  // The one quotient that overflows, INT64_MIN / -1, wraps to INT64_MIN.
  friend Wrapping64 operator/(Wrapping64 a, Wrapping64 b) {
    if (b.value == -1) return Of(0 - a.bits());
    return {a.value / b.value};
  }
};

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
  // The maker's 64-bit steps. Real calibrations never overflow them; odd
  // ones that a bus file may hold wrap, as that code does in practice.
  const Wrapping64 t_fine{fine};
  Wrapping64 var1 = t_fine - Wrapping64{128000};
  Wrapping64 var2 = var1 * var1 * Wrapping64{cal.P6};
  var2 = var2 + ((var1 * Wrapping64{cal.P5}) << 17);
  var2 = var2 + (Wrapping64{cal.P4} << 35);
  var1 = ((var1 * var1 * Wrapping64{cal.P3}) >> 8) + ((var1 * Wrapping64{cal.P2}) << 12);
  var1 = (((Wrapping64{1} << 47) + var1) * Wrapping64{cal.P1}) >> 33;
  if (var1.value == 0) return 0;
  Wrapping64 p = Wrapping64{1048576} - Wrapping64{adc_p};
  p = (((p << 31) - var2) * Wrapping64{3125}) / var1;
  var1 = (Wrapping64{cal.P9} * (p >> 13) * (p >> 13)) >> 25;
  var2 = (Wrapping64{cal.P8} * p) >> 19;
  p = ((p + var1 + var2) >> 8) + (Wrapping64{cal.P7} << 4);
  return static_cast<std::uint32_t>(p.value);
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
