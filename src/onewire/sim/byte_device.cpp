#include "onewire/sim/byte_device.h"

namespace orvel::sim {

ByteDevice::ByteDevice(onewire::RomCode rom, Faults faults)
    : SimDevice(rom, faults), noise_(faults.crc_error_rate, faults.seed) {}

void ByteDevice::OnSelected(SimTime now) {
  bit_ = 0;
  lone_bit_ = false;
  tx_.reset();
  rx_ = 0;
  OnFunctionStart(now);
}

int ByteDevice::FunctionDrive(int, SimTime now) {
  if (bit_ == 0) {
    const auto bit = NextBit(now);
    lone_bit_ = bit.has_value();
    if (lone_bit_) {
      lone_value_ = *bit & 1;
      return lone_value_;
    }
    tx_ = NextByte(now);
    if (tx_) tx_ = noise_.Apply(*tx_);
    rx_ = 0;
  }
  if (!tx_) return 1;
  return (*tx_ >> bit_) & 1;
}

void ByteDevice::FunctionSample(int line, SimTime now) {
  if (lone_bit_) {
    lone_bit_ = false;
    BitReceived(line, now);
    return;
  }
  rx_ = static_cast<std::uint8_t>(rx_ | (line & 1) << bit_);
  if (++bit_ < 8) return;
  bit_ = 0;
  tx_.reset();
  ByteReceived(rx_, now);
}

}  // namespace orvel::sim
