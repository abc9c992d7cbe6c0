#pragma once

#include <array>
#include <cstdint>

#include "core/clock.h"
#include "core/platform.h"
#include "onewire/bus_session.h"
#include "onewire/current_sens.h"

namespace orvel::sensors {

// Why the last reading was refused, for those who show a device's state.
enum class ThermometerFault {
  kNone,
  kNotSelected,  // not on the bus: Match ROM found nobody
  kNoAnswer,     // still converting, or gone, after the wait
  kCrc,          // scratchpad damaged on the line
  kPowerOn,      // the power-on value: no conversion has happened
  kContent,      // a scratchpad no chip of this family gives
};

// One temperature reading of a 0x10 or 0x28 thermometer: Convert T under
// strong pull-up, the 800 ms wait with the window kept alive, the
// scratchpad read and checked, and the value stored in the device's slot.
class ThermometerReader {
 public:
  ThermometerReader(onewire::BusSession& bus, onewire::DeviceTable& Asens, core::Clock& clock,
                    core::MessagePump& pump);

  // 1 after an accepted reading, -99 otherwise; a failed reading leaves
  // every field of the slot as it was.
  double ReadThermometer(std::int16_t slot);

  // The scratchpad of the last pass, bytes as they came off the bus.
  std::array<std::uint8_t, 9> iarray{};
  ThermometerFault lastFault = ThermometerFault::kNone;

 private:
  // One conversion pass; false when the device did not answer after the
  // wait, so no scratchpad was read.
  bool ConversionPass();
  void WaitForConversion();
  bool CrcIntact();
  // kNone when the scratchpad in iarray is intact and usable.
  ThermometerFault CheckPass(std::uint8_t family);
  double Refuse(ThermometerFault fault);

  onewire::BusSession& bus_;
  onewire::DeviceTable& Asens_;
  core::Clock& clock_;
  core::MessagePump& pump_;
};

}  // namespace orvel::sensors
