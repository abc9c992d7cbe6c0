#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "onewire/sim/devices/i2c_chip.h"
#include "onewire/sim/sim_value.h"

namespace orvel::sim {

struct SensirionSettings {
  SimValue temperature = SimValue::Constant(21.0);
  SimValue humidity = SimValue::Constant(45.0);  // unused by the STS
  std::array<std::uint16_t, 2> serial{0x1A2B, 0x3C4D};
};

// SHT (0x44, temperature and humidity) and STS (0x4A, temperature only)
// chips: two-byte commands, single shot 0x2C06 with clock stretching that
// absorbs the measurement time, serial number 0x3780, a CRC after every
// word. A read with nothing to report is NACKed; unknown commands too.
class SensirionChip final : public I2cChip {
 public:
  static constexpr std::uint8_t kShtAddress = 0x44;
  static constexpr std::uint8_t kStsAddress = 0x4A;
  // High repeatability, longest measurement.
  static constexpr SimTime kMeasureMicros = 15000;

  SensirionChip(std::uint8_t address, bool has_humidity, SensirionSettings settings, Faults faults)
      : I2cChip(address, faults), has_humidity_(has_humidity), settings_(settings) {}

  bool Write(std::uint8_t byte, SimTime now) override;
  std::uint8_t Read(SimTime now) override;

  static std::uint16_t TemperatureCode(double celsius);
  static std::uint16_t HumidityCode(double percent);

 private:
  I2cAck OnStart(bool read, SimTime now) override;
  void PutWord(std::uint16_t word);

  bool has_humidity_;
  SensirionSettings settings_;
  std::vector<std::uint8_t> command_;
  std::optional<SimTime> ready_at_;  // a single shot in progress
  std::vector<std::uint8_t> out_;
  std::size_t out_pos_ = 0;
};

}  // namespace orvel::sim
