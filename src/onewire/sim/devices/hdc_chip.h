#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "onewire/sim/devices/i2c_chip.h"
#include "onewire/sim/sim_value.h"

namespace orvel::sim {

struct HdcSettings {
  SimValue temperature = SimValue::Constant(21.0);
  SimValue humidity = SimValue::Constant(45.0);
  std::array<std::uint8_t, 6> serial{};  // registers 0xFB, 0xFC, 0xFD, MSB first
};

// HDC temperature/humidity chip at 0x40 in its power-on configuration:
// writing the pointer 0x00 or 0x01 starts a 14-bit conversion; reading it
// before the conversion has finished is NACKed.
class HdcChip final : public I2cChip {
 public:
  static constexpr std::uint8_t kAddress = 0x40;
  static constexpr SimTime kTemperatureMicros = 6350;
  static constexpr SimTime kHumidityMicros = 6500;

  HdcChip(HdcSettings settings, Faults faults) : I2cChip(kAddress, faults), settings_(settings) {}

  bool Write(std::uint8_t byte, SimTime now) override;
  std::uint8_t Read(SimTime now) override;

  // The 14-bit register codes the chip would report.
  static std::uint16_t TemperatureCode(double celsius);
  static std::uint16_t HumidityCode(double percent);

 private:
  I2cAck OnStart(bool read, SimTime now) override;
  std::uint16_t RegisterValue(std::uint8_t reg) const;

  HdcSettings settings_;
  std::uint8_t pointer_ = 0;
  bool pointer_next_ = false;
  int data_bytes_ = 0;
  std::uint16_t config_ = 0x1000;
  std::optional<SimTime> ready_at_;  // conversion started by the last pointer write
  std::array<std::uint8_t, 2> out_{};
  int out_pos_ = 2;
};

}  // namespace orvel::sim
