#include "onewire/sim/devices/ds18s20_device.h"

#include <algorithm>
#include <cmath>

#include "onewire/sim/devices/thermometer_settings.h"

namespace orvel::sim {
namespace {

constexpr int kCountPerC = 16;

}  // namespace

Ds18s20Device::Ds18s20Device(onewire::RomCode rom, Faults faults, ThermometerSettings settings)
    : ThermometerDevice(rom, faults, settings,
                        {0xAA, 0x00, settings.th, settings.tl, 0xFF, 0xFF, 0x0C, 0x10}) {}

void Ds18s20Device::Latch(double celsius) {
  // Choose the whole degree TEMP_READ and COUNT_REMAIN so that
  // TEMP_READ - 0.25 + (COUNT_PER_C - COUNT_REMAIN) / COUNT_PER_C is the
  // value to 1/16 C; the half-degree bit is the 9-bit value's own rounding.
  const long sixteenths = std::lround((std::clamp(celsius, -55.0, 125.0) + 0.25) * kCountPerC);
  const long whole =
      sixteenths >= 0 ? sixteenths / kCountPerC : -((-sixteenths + kCountPerC - 1) / kCountPerC);
  const long fraction = sixteenths - whole * kCountPerC;  // 0..15
  const long halves = 2 * whole + (fraction >= kCountPerC / 2 ? 1 : 0);
  const auto word = static_cast<std::uint16_t>(halves);
  pad_[0] = static_cast<std::uint8_t>(word & 0xFF);
  pad_[1] = static_cast<std::uint8_t>(word >> 8);
  pad_[6] = static_cast<std::uint8_t>(kCountPerC - fraction);
  pad_[7] = kCountPerC;
}

std::unique_ptr<SimDevice> MakeDs18s20(const onewire::RomCode& rom, const JsonObject& device,
                                       const Faults& faults) {
  device.AllowOnly({ORVEL_SIM_COMMON_KEYS, ORVEL_SIM_THERMOMETER_KEYS});
  return std::make_unique<Ds18s20Device>(rom, faults, ReadThermometerSettings(device));
}

}  // namespace orvel::sim
