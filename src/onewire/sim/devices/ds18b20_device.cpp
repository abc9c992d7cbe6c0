#include "onewire/sim/devices/ds18b20_device.h"

#include <algorithm>
#include <cmath>

#include "onewire/sim/devices/thermometer_settings.h"

namespace orvel::sim {

Ds18b20Device::Ds18b20Device(onewire::RomCode rom, Faults faults, ThermometerSettings settings)
    : ThermometerDevice(rom, faults, settings,
                        {0x50, 0x05, settings.th, settings.tl, settings.config, 0xFF, 0x0C, 0x10}) {
}

SimTime Ds18b20Device::ConversionMicros() const {
  // 93.75 ms at 9 bits, doubling with every further bit.
  return 93750 << (Resolution() - 9);
}

void Ds18b20Device::Latch(double celsius) {
  // The chip converts to 1/16 C; at lower resolutions the bits below the
  // resolution are undefined, and here they keep the finer count, so only a
  // reader that masks them gets the value of the configured resolution.
  const long count = std::lround(std::clamp(celsius, -55.0, 125.0) * 16.0);
  const auto word = static_cast<std::uint16_t>(count);
  pad_[0] = static_cast<std::uint8_t>(word & 0xFF);
  pad_[1] = static_cast<std::uint8_t>(word >> 8);
}

std::unique_ptr<SimDevice> MakeDs18b20(const onewire::RomCode& rom, const JsonObject& device,
                                       const Faults& faults) {
  device.AllowOnly({ORVEL_SIM_COMMON_KEYS, ORVEL_SIM_THERMOMETER_KEYS, "resolution"});
  ThermometerSettings settings = ReadThermometerSettings(device);
  settings.config =
      Ds18b20Device::ConfigForResolution(static_cast<int>(device.Integer("resolution", 9, 12, 12)));
  return std::make_unique<Ds18b20Device>(rom, faults, settings);
}

}  // namespace orvel::sim
