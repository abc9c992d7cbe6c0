#pragma once

#include <cstdint>
#include <optional>

#include "onewire/sim/sim_device.h"

namespace orvel::sim {

// A function layer that speaks in bytes, with single-bit slots where a chip
// answers status polls bit by bit. At every byte boundary the device says
// whether the next slot is a lone bit (NextBit) and, if not, which byte it
// sends (NextByte; nullopt to listen). It is told each byte and bit as the
// wired-AND line carried it. Bytes it sends pass through the bit-flip fault.
class ByteDevice : public SimDevice {
 public:
  ByteDevice(onewire::RomCode rom, Faults faults);

 protected:
  // The command byte comes next.
  virtual void OnFunctionStart(SimTime now) = 0;
  virtual std::optional<std::uint8_t> NextByte(SimTime now) = 0;
  virtual void ByteReceived(std::uint8_t line, SimTime now) = 0;
  // A value to answer the next slot with as a single bit, or nullopt for
  // byte traffic.
  virtual std::optional<int> NextBit(SimTime /*now*/) { return std::nullopt; }
  virtual void BitReceived(int /*line*/, SimTime /*now*/) {}

 private:
  void OnSelected(SimTime now) final;
  int FunctionDrive(int master_bit, SimTime now) final;
  void FunctionSample(int line, SimTime now) final;

  BitNoise noise_;
  int bit_ = 0;  // position in the current byte
  bool lone_bit_ = false;
  int lone_value_ = 1;
  std::optional<std::uint8_t> tx_;
  std::uint8_t rx_ = 0;
};

}  // namespace orvel::sim
