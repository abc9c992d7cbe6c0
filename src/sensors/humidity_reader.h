#pragma once

#include <cstdint>
#include <initializer_list>

#include "core/clock.h"
#include "core/platform.h"
#include "onewire/bus_session.h"
#include "onewire/current_sens.h"
#include "sensors/humidity_decode.h"

namespace orvel::sensors {

// One reading of a 0x26 humidity module: temperature, both input voltages
// (switching the input between two conversions) and the compensated
// humidity, or a fault code, in the slot's Hu.
class HumidityReader {
 public:
  HumidityReader(onewire::BusSession& bus, onewire::DeviceTable& Asens, core::Clock& clock,
                 core::MessagePump& pump);

  // True when Hu was written in this call: a humidity or fault code from
  // ComputeHumidity, or 996 when a page poll gave up. False leaves Hu as it
  // was: the module could not be reached at the start, one of the two
  // voltages was not measured in this reading (a lost input switch), or the
  // session was found invalid.
  bool getValueHLT(std::int16_t Indx);
  // False when it left Hu unchanged (the session was invalid).
  bool ComputeHumidity(std::int16_t Indx);

  // Shared by all modules, overwritten by every reading.
  double Temperature = 0.0, Vsens = 0.0, ADC0_val = 0.0;

  // A page poll gives up after this many polls or this much time.
  static constexpr int kMaxPolls = 100;
  static constexpr std::uint32_t kMaxPollMs = 1000;

 private:
  bool StrongAccess();
  void Send(std::initializer_list<std::uint8_t> bytes);
  void ReadPage(HumidityPage& page);
  // Waits until page 0 is intact and no conversion runs; false when it
  // gave up.
  bool PollPage(bool first);
  void StoreVoltage();

  onewire::BusSession& bus_;
  onewire::DeviceTable& Asens_;
  core::Clock& clock_;
  core::MessagePump& pump_;
  HumidityPage page_{};
  // Which inputs this reading has measured; the fields above may still
  // hold another module's voltages.
  bool supply_measured_ = false, sensor_measured_ = false;
};

}  // namespace orvel::sensors
