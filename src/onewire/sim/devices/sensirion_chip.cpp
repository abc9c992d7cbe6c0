#include "onewire/sim/devices/sensirion_chip.h"

#include <algorithm>
#include <cmath>

#include "sensors/bridge_chip_decode.h"

namespace orvel::sim {
namespace {

constexpr std::uint16_t kSingleShot = 0x2C06;
constexpr std::uint16_t kReadSerial = 0x3780;

std::uint16_t Code16(double fraction) { return FullScaleCode(fraction, 65535.0); }

}  // namespace

std::uint16_t SensirionChip::TemperatureCode(double celsius) {
  return Code16((celsius + 45.0) / 175.0);
}

std::uint16_t SensirionChip::HumidityCode(double percent) { return Code16(percent / 100.0); }

void SensirionChip::PutWord(std::uint16_t word) {
  const std::array<std::uint8_t, 2> bytes{static_cast<std::uint8_t>(word >> 8),
                                          static_cast<std::uint8_t>(word & 0xFF)};
  out_.insert(out_.end(), bytes.begin(), bytes.end());
  out_.push_back(sensors::CalcCRC8(bytes.data(), 2));
}

I2cAck SensirionChip::OnStart(bool read, SimTime now) {
  if (!read) {
    command_.clear();
    return {true};
  }
  if (ready_at_) {
    // Clock stretching: the read header waits for the measurement.
    const SimTime stretch = std::max<SimTime>(0, *ready_at_ - now);
    out_.clear();
    out_pos_ = 0;
    PutWord(TemperatureCode(settings_.temperature.At(*ready_at_)));
    if (has_humidity_) PutWord(HumidityCode(settings_.humidity.At(*ready_at_)));
    ready_at_.reset();
    return {true, stretch};
  }
  if (out_pos_ < out_.size()) return {true};
  return {};
}

bool SensirionChip::Write(std::uint8_t byte, SimTime now) {
  command_.push_back(byte);
  if (command_.size() < 2) return true;
  if (command_.size() > 2) return false;
  const auto command = static_cast<std::uint16_t>(command_[0] << 8 | command_[1]);
  out_.clear();
  out_pos_ = 0;
  if (command == kSingleShot) {
    ready_at_ = now + kMeasureMicros;
    return true;
  }
  if (command == kReadSerial) {
    PutWord(settings_.serial[0]);
    PutWord(settings_.serial[1]);
    return true;
  }
  return false;
}

std::uint8_t SensirionChip::Read(SimTime) {
  if (out_pos_ >= out_.size()) return 0xFF;
  return out_[out_pos_++];
}

}  // namespace orvel::sim
