#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "onewire/sim/faults.h"
#include "onewire/sim/sim_time.h"

namespace orvel::sim {

// A measured fraction of full scale as the chip's 16-bit code: `steps` per
// full scale, rounded and kept within 0..0xFFFF. NaN reads as 0, so no value
// is undefined to convert.
inline std::uint16_t FullScaleCode(double fraction, double steps) {
  const double code = std::round(fraction * steps);
  return std::isnan(code) ? 0 : static_cast<std::uint16_t>(std::clamp(code, 0.0, 65535.0));
}

// What a chip answers to its address byte: acknowledge or not, and how long
// it held the clock low first (clock stretching).
struct I2cAck {
  bool ack = false;
  SimTime stretch_us = 0;
};

// A chip on the I2C side of a bridge, driven one byte at a time with the
// simulated time at which each byte ends. Faults: `nack` makes it ignore
// its address; `absent_after`/`returns_after` count address phases.
class I2cChip {
 public:
  I2cChip(std::uint8_t address, Faults faults) : address_(address), faults_(faults) {}
  virtual ~I2cChip() = default;
  I2cChip(const I2cChip&) = delete;
  I2cChip& operator=(const I2cChip&) = delete;

  // The 7-bit address.
  std::uint8_t address() const { return address_; }

  // A start or repeated start with this chip's address and the direction.
  I2cAck Start(bool read, SimTime now) {
    const bool answers = present_ && !faults_.nack && faults_.AnswersReset(starts_++);
    if (!answers) return {};
    return OnStart(read, now);
  }
  // A byte from the master; true when the chip acknowledges it.
  virtual bool Write(std::uint8_t byte, SimTime now) = 0;
  // A byte to the master; 0xFF once the chip has nothing more to say.
  virtual std::uint8_t Read(SimTime now) = 0;
  virtual void Stop(SimTime /*now*/) {}

  // Unplugged chips ignore their address (for tests that pull one mid-reading).
  void SetPresent(bool present) { present_ = present; }

 protected:
  virtual I2cAck OnStart(bool read, SimTime now) = 0;

 private:
  std::uint8_t address_;
  Faults faults_;
  bool present_ = true;
  std::uint64_t starts_ = 0;
};

}  // namespace orvel::sim
