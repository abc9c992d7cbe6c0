#pragma once

#include <memory>

#include "onewire/sim/devices/thermometer_device.h"
#include "onewire/sim/json_reader.h"

namespace orvel::sim {

// Family 0x28: 9 to 12 bits set by configuration bits 6..5, conversion
// time 93.75 ms at 9 bits doubling up to 750 ms at 12, +85 C (50 05) until
// the first conversion.
class Ds18b20Device final : public ThermometerDevice {
 public:
  Ds18b20Device(onewire::RomCode rom, Faults faults, ThermometerSettings settings);

  static std::uint8_t ConfigForResolution(int bits) {
    return static_cast<std::uint8_t>((bits - 9) << 5 | 0x1F);
  }

 protected:
  SimTime ConversionMicros() const override;
  void Latch(double celsius) override;
  int WritableBytes() const override { return 3; }
  // Only the resolution bits can be written; bit 7 reads 0 and bits 4..0 read 1.
  std::uint8_t StoredConfig(std::uint8_t written) const override {
    return static_cast<std::uint8_t>((written & 0x60) | 0x1F);
  }

 private:
  int Resolution() const { return 9 + ((pad_[4] >> 5) & 3); }
};

// Keys: temperature, resolution (9..12, default 12), th, tl, parasite.
std::unique_ptr<SimDevice> MakeDs18b20(const onewire::RomCode& rom, const JsonObject& device,
                                       const Faults& faults);

}  // namespace orvel::sim
