#include "onewire/sim/devices/hdc_chip.h"

namespace orvel::sim {
namespace {

constexpr std::uint8_t kRegTemperature = 0x00;
constexpr std::uint8_t kRegHumidity = 0x01;
constexpr std::uint8_t kRegConfig = 0x02;

// Full scale over 16 bits, 14 significant.
std::uint16_t Code14(double fraction) {
  return static_cast<std::uint16_t>(FullScaleCode(fraction, 65536.0) & 0xFFFC);
}

}  // namespace

std::uint16_t HdcChip::TemperatureCode(double celsius) { return Code14((celsius + 40.0) / 165.0); }

std::uint16_t HdcChip::HumidityCode(double percent) { return Code14(percent / 100.0); }

std::uint16_t HdcChip::RegisterValue(std::uint8_t reg) const {
  switch (reg) {
    case kRegConfig:
      return config_;
    case 0xFB:
    case 0xFC:
    case 0xFD: {
      const auto i = static_cast<std::size_t>(reg - 0xFB) * 2;
      return static_cast<std::uint16_t>(settings_.serial[i] << 8 | settings_.serial[i + 1]);
    }
    case 0xFE:
      return 0x5449;  // manufacturer
    case 0xFF:
      return 0x1050;  // device
    default:
      return 0xFFFF;
  }
}

I2cAck HdcChip::OnStart(bool read, SimTime now) {
  if (!read) {
    pointer_next_ = true;
    return {true};
  }
  std::uint16_t value = 0;
  if (pointer_ == kRegTemperature || pointer_ == kRegHumidity) {
    if (!ready_at_ || now < *ready_at_) return {};  // no result yet
    value = pointer_ == kRegTemperature ? TemperatureCode(settings_.temperature.At(*ready_at_))
                                        : HumidityCode(settings_.humidity.At(*ready_at_));
    ready_at_.reset();
  } else {
    value = RegisterValue(pointer_);
  }
  out_ = {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value & 0xFF)};
  out_pos_ = 0;
  return {true};
}

bool HdcChip::Write(std::uint8_t byte, SimTime now) {
  if (pointer_next_) {
    pointer_next_ = false;
    pointer_ = byte;
    data_bytes_ = 0;
    if (byte == kRegTemperature) ready_at_ = now + kTemperatureMicros;
    if (byte == kRegHumidity) ready_at_ = now + kHumidityMicros;
    return true;
  }
  // Data for the configuration register: its low byte is reserved.
  if (pointer_ == kRegConfig && data_bytes_++ == 0) config_ = static_cast<std::uint16_t>(byte << 8);
  return true;
}

std::uint8_t HdcChip::Read(SimTime) {
  if (out_pos_ >= 2) return 0xFF;
  return out_[static_cast<std::size_t>(out_pos_++)];
}

}  // namespace orvel::sim
