#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "onewire/sim/devices/i2c_chip.h"
#include "onewire/sim/sim_value.h"
#include "sensors/bmp280_compensation.h"

namespace orvel::sim {

struct Bmp280Settings {
  SimValue temperature = SimValue::Constant(21.0);   // degrees C
  SimValue pressure = SimValue::Constant(101325.0);  // Pa
  // Fixed raw readings instead of the values above.
  std::optional<std::int32_t> raw_temperature;
  std::optional<std::int32_t> raw_pressure;
  sensors::Bmp280Calibration calibration;
};

// BMP280 pressure sensor at 0x77: register pointer with auto-increment,
// identification 0x58, calibration at 0x88..0x9F, control 0xF4 and
// configuration 0xF5; writing a forced mode to 0xF4 runs one measurement
// for the time its oversampling takes, after which the data registers
// 0xF7..0xFC hold it and the chip sleeps again.
class Bmp280Chip final : public I2cChip {
 public:
  static constexpr std::uint8_t kAddress = 0x77;

  Bmp280Chip(Bmp280Settings settings, Faults faults);

  bool Write(std::uint8_t byte, SimTime now) override;
  std::uint8_t Read(SimTime now) override;

  // Longest measurement time for a control register value.
  static SimTime MeasureMicros(std::uint8_t ctrl_meas);

 private:
  I2cAck OnStart(bool read, SimTime now) override;
  void PowerOn();
  void Finish(SimTime now);

  Bmp280Settings settings_;
  std::array<std::uint8_t, 256> regs_{};
  std::uint8_t pointer_ = 0;
  bool pointer_next_ = false;
  std::optional<SimTime> done_at_;  // a forced measurement in progress
};

}  // namespace orvel::sim
