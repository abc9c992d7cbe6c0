#include "onewire/sim/devices/thermometer_device.h"

#include <limits>

#include "onewire/crc.h"
#include "onewire/function_commands.h"

namespace orvel::sim {
namespace {

using namespace onewire::thermometer_command;

// The master must switch to strong pull-up within 10 us of the command.
constexpr SimTime kPullupWindow = 10;

}  // namespace

ThermometerDevice::ThermometerDevice(onewire::RomCode rom, Faults faults,
                                     ThermometerSettings settings,
                                     std::array<std::uint8_t, 8> power_on)
    : ByteDevice(rom, faults),
      pad_(power_on),
      settings_(settings),
      eeprom_{settings.th, settings.tl, settings.config} {
  pad_[2] = eeprom_[0];
  pad_[3] = eeprom_[1];
}

void ThermometerDevice::Advance(SimTime now) {
  if (!converting_ || now < conversion_end_) return;
  converting_ = false;
  // A parasite device has no power of its own to finish without the pull-up.
  if (settings_.parasite && !pullup_held_) return;
  ++completed_;
  if (!faults().power_on) Latch(settings_.temperature.At(conversion_end_));
}

void ThermometerDevice::OnLineLevel(bool strong_pullup, SimTime now) {
  Advance(now);
  if (!converting_ || !settings_.parasite) return;
  if (strong_pullup) {
    pullup_held_ = now - conversion_start_ <= kPullupWindow;
  } else {
    converting_ = false;  // power lost mid-conversion: the registers keep their old value
  }
}

void ThermometerDevice::OnReset(SimTime now) {
  Advance(now);
  mode_ = Mode::kIgnore;
}

void ThermometerDevice::OnFunctionStart(SimTime now) {
  Advance(now);
  mode_ = Mode::kCommand;
  index_ = 0;
}

void ThermometerDevice::Command(std::uint8_t command, SimTime now) {
  index_ = 0;
  switch (command) {
    case kConvertT:
      mode_ = Mode::kConvert;
      if (converting_) return;
      converting_ = true;
      pullup_held_ = false;
      conversion_start_ = now;
      conversion_end_ =
          faults().busy_forever ? std::numeric_limits<SimTime>::max() : now + ConversionMicros();
      return;
    case kReadScratchpad:
      mode_ = Mode::kReadPad;
      return;
    case kWriteScratchpad:
      mode_ = Mode::kWritePad;
      return;
    case kCopyScratchpad:
      for (int i = 0; i < WritableBytes(); ++i) {
        eeprom_[static_cast<std::size_t>(i)] = pad_[static_cast<std::size_t>(i + 2)];
      }
      mode_ = Mode::kDone;
      return;
    case kRecallEeprom:
      RecallEeprom();
      mode_ = Mode::kDone;
      return;
    case kReadPowerSupply:
      mode_ = Mode::kPowerSupply;
      return;
    default:
      mode_ = Mode::kIgnore;
      return;
  }
}

void ThermometerDevice::RecallEeprom() {
  for (int i = 0; i < WritableBytes(); ++i) {
    pad_[static_cast<std::size_t>(i + 2)] = eeprom_[static_cast<std::size_t>(i)];
  }
}

std::optional<int> ThermometerDevice::NextBit(SimTime now) {
  Advance(now);
  switch (mode_) {
    case Mode::kConvert:
      // Busy reads 0; a parasite device cannot pull the line while it converts.
      return converting_ && !settings_.parasite ? 0 : 1;
    case Mode::kPowerSupply:
      return settings_.parasite ? 0 : 1;
    case Mode::kDone:
      return 1;
    default:
      return std::nullopt;
  }
}

std::optional<std::uint8_t> ThermometerDevice::NextByte(SimTime now) {
  Advance(now);
  if (mode_ != Mode::kReadPad || index_ > 8) return std::nullopt;
  const auto i = static_cast<std::size_t>(index_++);
  if (i < pad_.size()) return pad_[i];
  return onewire::Crc8(pad_);
}

void ThermometerDevice::ByteReceived(std::uint8_t line, SimTime now) {
  switch (mode_) {
    case Mode::kCommand:
      Command(line, now);
      return;
    case Mode::kWritePad:
      if (index_ < WritableBytes()) {
        const auto i = static_cast<std::size_t>(2 + index_);
        pad_[i] = i == 4 ? StoredConfig(line) : line;
        ++index_;
      }
      return;
    default:
      return;
  }
}

}  // namespace orvel::sim
