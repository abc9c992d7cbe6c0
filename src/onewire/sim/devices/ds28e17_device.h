#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "onewire/sim/byte_device.h"
#include "onewire/sim/devices/i2c_chip.h"

namespace orvel::sim {

// DS28E17 1-Wire-to-I2C bridge with its I2C chips. A command frame is
// checked by its CRC-16 and then run on the I2C side at 400 kHz; until
// that time has passed (and at least `busy_polls` polls have been
// answered) the bridge answers busy bits of 1, then a 0, then its status
// byte(s) and any data read. A frame with a bad CRC sets the status CRC
// bit and never reaches the I2C side. After Write Data No Stop the I2C bus
// stays claimed across 1-Wire resets, so the next frame starts with a
// repeated start. Faults: busy_forever, crc_error_rate (on the bytes the
// bridge sends).
class Ds28e17Device final : public ByteDevice {
 public:
  // Status byte bits.
  static constexpr std::uint8_t kStatusCrc = 0x01;
  static constexpr std::uint8_t kStatusAddressNack = 0x02;
  static constexpr std::uint8_t kStatusNoStart = 0x08;

  Ds28e17Device(onewire::RomCode rom, Faults faults, int busy_polls);

  I2cChip& AddChip(std::unique_ptr<I2cChip> chip);
  I2cChip* Chip(std::uint8_t address) const;

  // Frames run on the I2C side, and frames refused for their CRC.
  int frames_run() const { return frames_run_; }
  int crc_errors() const { return crc_errors_; }
  bool sleeping() const { return sleeping_; }
  // I2C time of the last frame, stretching included.
  SimTime last_i2c_micros() const { return last_i2c_micros_; }

 protected:
  void OnFunctionStart(SimTime now) override;
  std::optional<std::uint8_t> NextByte(SimTime now) override;
  void ByteReceived(std::uint8_t line, SimTime now) override;
  std::optional<int> NextBit(SimTime now) override;
  void OnReset(SimTime now) override;

 private:
  enum class Phase { kFrame, kBusy, kReply, kIdle };
  class I2cRun;

  // Frame length once enough of it has arrived; 0 while not yet known,
  // -1 for a command this model does not take.
  int FrameLength() const;
  void RunFrame(SimTime now);

  std::vector<std::unique_ptr<I2cChip>> chips_;
  int busy_polls_;
  Phase phase_ = Phase::kIdle;
  std::vector<std::uint8_t> frame_;
  std::vector<std::uint8_t> reply_;
  std::size_t reply_pos_ = 0;
  SimTime done_at_ = 0;
  int polls_ = 0;
  I2cChip* claimed_ = nullptr;  // the I2C bus is held after Write Data No Stop
  bool sleeping_ = false;
  int frames_run_ = 0;
  int crc_errors_ = 0;
  SimTime last_i2c_micros_ = 0;
};

}  // namespace orvel::sim
