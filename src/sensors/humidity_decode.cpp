#include "sensors/humidity_decode.h"

#include <cmath>

#include "core/rounding.h"

namespace orvel::sensors {
namespace {

// The humidity sensor's transfer function and its temperature compensation.
constexpr double kZeroOffset = 0.1515;
constexpr double kSlope = 0.00636;
constexpr double kCompensationBase = 1.0546;
constexpr double kCompensationSlope = 0.00216;
constexpr double kMinSupply = 4.0;

}  // namespace

double PageTemperature(const HumidityPage& page) {
  const std::uint32_t w = static_cast<std::uint32_t>(page[2]) << 8 | page[1];
  const std::int32_t count = (w & 0x8000U) != 0 ? -static_cast<std::int32_t>((65536U - w) >> 3)
                                                : static_cast<std::int32_t>(w >> 3);
  return core::RoundHalfEven(count * 0.03125, 2);
}

double PageVoltage(const HumidityPage& page) {
  const unsigned word = static_cast<unsigned>(page[4]) << 8 | page[3];
  return word / 100.0;
}

bool PageBusy(const HumidityPage& page) { return (page[0] & kBusyMask) != 0; }

bool SupplyInputSelected(const HumidityPage& page) { return (page[0] & kSupplyInputBit) != 0; }

std::uint8_t SwitchedInputConfig(const HumidityPage& page) {
  return SupplyInputSelected(page) ? kConfigSensorNext : kConfigSupplyNext;
}

double HumidityFromVoltages(double vsens, double adc0_val, double temperature) {
  if (vsens < kMinSupply) return kHuLowSupply;
  const double sensor = (adc0_val / vsens - kZeroOffset) / kSlope;
  const double compensated = sensor / (kCompensationBase - kCompensationSlope * temperature);
  if (!std::isfinite(compensated)) return kHuArithmeticFault;
  if (compensated < 0.0) return kHuBelowRange;
  if (compensated > 100.0) return kHuAboveRange;
  return core::RoundHalfEven(compensated, 1);
}

}  // namespace orvel::sensors
