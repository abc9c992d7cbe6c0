#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "onewire/sim/byte_device.h"
#include "onewire/sim/sim_value.h"

namespace orvel::sim {

struct ThermometerSettings {
  SimValue temperature = SimValue::Constant(20.0);
  std::uint8_t th = 75;
  std::uint8_t tl = 70;
  // Configuration byte kept in EEPROM (0x28 only; 0x10 has none).
  std::uint8_t config = 0x7F;
  bool parasite = false;
};

// The function layer the 0x10 and 0x28 thermometers share: Convert T with
// its conversion time, Read/Write/Copy Scratchpad, Recall E2 and Read Power
// Supply. A parasite-powered device completes a conversion only when the
// line goes to strong pull-up right after the command and stays there for
// the whole conversion time.
class ThermometerDevice : public ByteDevice {
 public:
  ThermometerDevice(onewire::RomCode rom, Faults faults, ThermometerSettings settings,
                    std::array<std::uint8_t, 8> power_on);

  void SetTemperature(SimValue value) { settings_.temperature = value; }
  bool Converting() const { return converting_; }
  // Conversions that ran to their end (power_on ones included).
  int CompletedConversions() const { return completed_; }

  void OnLineLevel(bool strong_pullup, SimTime now) override;

 protected:
  virtual SimTime ConversionMicros() const = 0;
  // Writes the temperature registers of the scratchpad for this value.
  virtual void Latch(double celsius) = 0;
  // How many bytes Write Scratchpad takes (TH, TL[, configuration]).
  virtual int WritableBytes() const = 0;
  // The byte stored for a written configuration byte.
  virtual std::uint8_t StoredConfig(std::uint8_t written) const { return written; }

  std::array<std::uint8_t, 8> pad_;  // scratchpad bytes 0..7; the CRC is computed on reading

 private:
  enum class Mode { kCommand, kReadPad, kWritePad, kConvert, kPowerSupply, kDone, kIgnore };

  void OnFunctionStart(SimTime now) override;
  std::optional<std::uint8_t> NextByte(SimTime now) override;
  void ByteReceived(std::uint8_t line, SimTime now) override;
  std::optional<int> NextBit(SimTime now) override;
  void OnReset(SimTime now) override;

  void Command(std::uint8_t command, SimTime now);
  void Advance(SimTime now);
  void RecallEeprom();

  ThermometerSettings settings_;
  std::array<std::uint8_t, 3> eeprom_;  // TH, TL, configuration
  Mode mode_ = Mode::kIgnore;
  int index_ = 0;
  bool converting_ = false;
  SimTime conversion_start_ = 0;
  SimTime conversion_end_ = 0;
  bool pullup_held_ = false;
  int completed_ = 0;
};

}  // namespace orvel::sim
