#pragma once

#include <memory>

#include "onewire/sim/devices/thermometer_device.h"
#include "onewire/sim/json_reader.h"

namespace orvel::sim {

// Family 0x10: a 9-bit value with COUNT_REMAIN and COUNT_PER_C (16) for the
// extended-resolution formula, 750 ms per conversion, AA 00 .. 0C 10 until
// the first conversion.
class Ds18s20Device final : public ThermometerDevice {
 public:
  Ds18s20Device(onewire::RomCode rom, Faults faults, ThermometerSettings settings);

 protected:
  SimTime ConversionMicros() const override { return 750 * kMillis; }
  void Latch(double celsius) override;
  int WritableBytes() const override { return 2; }
};

// Keys: temperature, th, tl, parasite.
std::unique_ptr<SimDevice> MakeDs18s20(const onewire::RomCode& rom, const JsonObject& device,
                                       const Faults& faults);

}  // namespace orvel::sim
