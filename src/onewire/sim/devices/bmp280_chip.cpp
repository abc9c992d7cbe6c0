#include "onewire/sim/devices/bmp280_chip.h"

#include <algorithm>

#include "onewire/sim/devices/bmp280_fixed_point.h"

namespace orvel::sim {
namespace {

constexpr std::uint8_t kRegCalibration = 0x88;
constexpr std::uint8_t kRegId = 0xD0;
constexpr std::uint8_t kRegReset = 0xE0;
constexpr std::uint8_t kRegStatus = 0xF3;
constexpr std::uint8_t kRegCtrlMeas = 0xF4;
constexpr std::uint8_t kRegData = 0xF7;
constexpr std::uint8_t kChipId = 0x58;
constexpr std::uint8_t kResetWord = 0xB6;
constexpr std::uint8_t kStatusMeasuring = 0x08;
constexpr std::int32_t kSkipped = 0x80000;  // what a skipped or unmeasured channel reads

// Oversampling setting (3 bits) to samples per reading.
int Samples(int setting) { return setting == 0 ? 0 : 1 << (std::min(setting, 5) - 1); }

void PutRaw(std::uint8_t* at, std::int32_t raw) {
  at[0] = static_cast<std::uint8_t>(raw >> 12);
  at[1] = static_cast<std::uint8_t>(raw >> 4);
  at[2] = static_cast<std::uint8_t>((raw & 0x0F) << 4);
}

void PutWord(std::uint8_t* at, std::uint16_t word) {
  at[0] = static_cast<std::uint8_t>(word & 0xFF);
  at[1] = static_cast<std::uint8_t>(word >> 8);
}

}  // namespace

Bmp280Chip::Bmp280Chip(Bmp280Settings settings, Faults faults)
    : I2cChip(kAddress, faults), settings_(settings) {
  PowerOn();
}

void Bmp280Chip::PowerOn() {
  regs_.fill(0);
  const auto& c = settings_.calibration;
  const std::array<std::uint16_t, 12> words{c.T1,
                                            static_cast<std::uint16_t>(c.T2),
                                            static_cast<std::uint16_t>(c.T3),
                                            c.P1,
                                            static_cast<std::uint16_t>(c.P2),
                                            static_cast<std::uint16_t>(c.P3),
                                            static_cast<std::uint16_t>(c.P4),
                                            static_cast<std::uint16_t>(c.P5),
                                            static_cast<std::uint16_t>(c.P6),
                                            static_cast<std::uint16_t>(c.P7),
                                            static_cast<std::uint16_t>(c.P8),
                                            static_cast<std::uint16_t>(c.P9)};
  for (std::size_t i = 0; i < words.size(); ++i) PutWord(&regs_[kRegCalibration + 2 * i], words[i]);
  regs_[kRegId] = kChipId;
  PutRaw(&regs_[kRegData], kSkipped);
  PutRaw(&regs_[kRegData + 3], kSkipped);
  done_at_.reset();
}

SimTime Bmp280Chip::MeasureMicros(std::uint8_t ctrl_meas) {
  const int t = Samples(ctrl_meas >> 5 & 7);
  const int p = Samples(ctrl_meas >> 2 & 7);
  // 1.25 ms + 2.3 ms per sample, and 0.575 ms for the pressure channel.
  return 1250 + 2300 * (t + p) + (p > 0 ? 575 : 0);
}

void Bmp280Chip::Finish(SimTime now) {
  if (!done_at_ || now < *done_at_) return;
  const SimTime at = *done_at_;
  done_at_.reset();
  const std::uint8_t ctrl = regs_[kRegCtrlMeas];
  const auto& cal = settings_.calibration;
  const std::int32_t raw_t =
      settings_.raw_temperature.value_or(RawTemperatureFor(cal, settings_.temperature.At(at)));
  const std::int32_t raw_p = settings_.raw_pressure.value_or(
      RawPressureFor(cal, settings_.pressure.At(at), FineTemperature(cal, raw_t)));
  if ((ctrl >> 2 & 7) != 0) PutRaw(&regs_[kRegData], raw_p);
  if ((ctrl >> 5 & 7) != 0) PutRaw(&regs_[kRegData + 3], raw_t);
  regs_[kRegCtrlMeas] = static_cast<std::uint8_t>(ctrl & ~3);  // back to sleep
}

I2cAck Bmp280Chip::OnStart(bool read, SimTime now) {
  Finish(now);
  if (!read) pointer_next_ = true;
  return {true};
}

bool Bmp280Chip::Write(std::uint8_t byte, SimTime now) {
  Finish(now);
  if (pointer_next_) {
    pointer_next_ = false;
    pointer_ = byte;
    return true;
  }
  // Register and value pairs follow the first register.
  pointer_next_ = true;
  if (pointer_ == kRegReset) {
    if (byte == kResetWord) PowerOn();
    return true;
  }
  if (pointer_ < kRegStatus) return true;  // read-only
  regs_[pointer_] = byte;
  if (pointer_ == kRegCtrlMeas && (byte & 3) != 0 && (byte & 3) != 3) {
    done_at_ = now + MeasureMicros(byte);
  }
  return true;
}

std::uint8_t Bmp280Chip::Read(SimTime now) {
  Finish(now);
  const std::uint8_t reg = pointer_++;
  if (reg == kRegStatus) return done_at_ ? kStatusMeasuring : 0;
  return regs_[reg];
}

}  // namespace orvel::sim
