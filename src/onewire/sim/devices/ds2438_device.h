#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "onewire/sim/byte_device.h"
#include "onewire/sim/json_reader.h"
#include "onewire/sim/sim_value.h"

namespace orvel::sim {

struct Ds2438Settings {
  SimValue temperature = SimValue::Constant(20.0);
  SimValue vdd = SimValue::Constant(5.0);
  // The sensor input: a voltage, or a relative humidity that the analogue
  // sensor turns into one.
  std::optional<SimValue> vad;
  SimValue rh = SimValue::Constant(50.0);
  std::uint8_t config = 0x0F;
};

// Family 0x26 with an analogue humidity sensor on its A/D input: eight
// memory pages, each with a scratchpad read back with its CRC; Convert T
// (13-bit, 0.03125 C) and Convert V (10 mV) of the input that
// configuration bit 3 selects (1: VDD, 0: VAD), each 10 ms with its busy
// bit in the status byte (TB 0x10, ADB 0x40).
class Ds2438Device final : public ByteDevice {
 public:
  Ds2438Device(onewire::RomCode rom, Faults faults, Ds2438Settings settings);

  // Status and configuration byte of page 0 as the memory holds it now.
  std::uint8_t Status(SimTime now);
  void SetRelativeHumidity(SimValue rh) {
    settings_.vad.reset();
    settings_.rh = rh;
  }
  void SetVdd(SimValue vdd) { settings_.vdd = vdd; }

  // The sensor-input voltage for a humidity at a temperature and supply.
  static double SensorVoltage(double rh, double celsius, double vdd);

 private:
  enum class Mode { kCommand, kPage, kReadPad, kWritePad, kBusyPoll, kIgnore };
  using Page = std::array<std::uint8_t, 8>;

  void OnFunctionStart(SimTime now) override;
  std::optional<std::uint8_t> NextByte(SimTime now) override;
  void ByteReceived(std::uint8_t line, SimTime now) override;
  std::optional<int> NextBit(SimTime now) override;
  void OnReset(SimTime now) override;

  void Command(std::uint8_t command, SimTime now);
  void PageCommand(std::uint8_t page, SimTime now);
  void Advance(SimTime now);
  bool Busy() const { return temp_end_.has_value() || volt_end_.has_value(); }
  double InputVoltage(bool supply, SimTime at) const;

  Ds2438Settings settings_;
  std::array<Page, 8> memory_{};
  std::array<Page, 8> scratch_{};
  Mode mode_ = Mode::kIgnore;
  std::uint8_t command_ = 0;
  std::size_t page_ = 0;
  int index_ = 0;
  std::optional<SimTime> temp_end_;
  std::optional<SimTime> volt_end_;
  bool volt_supply_ = false;
};

// Keys: temperature, vdd, vad or rh, config (default 0x0F).
std::unique_ptr<SimDevice> MakeDs2438(const onewire::RomCode& rom, const JsonObject& device,
                                      const Faults& faults);

}  // namespace orvel::sim
