#include "onewire/sim/devices/ds2438_device.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "onewire/crc.h"
#include "onewire/function_commands.h"
#include "onewire/sim/sim_families.h"

namespace orvel::sim {
namespace {

using namespace onewire::humidity_module_command;

constexpr std::uint8_t kConfigBits = 0x0F;  // IAD, CA, EE, AD: the writable part of byte 0
constexpr std::uint8_t kInputSupply = 0x08;
constexpr std::uint8_t kTempBusy = 0x10;
constexpr std::uint8_t kVoltBusy = 0x40;
constexpr SimTime kConversionMicros = 10 * kMillis;

// The humidity sensor's output as a fraction of its supply, and its
// temperature dependence.
constexpr double kZeroOffset = 0.1515;
constexpr double kSlope = 0.00636;
constexpr double kCompensationBase = 1.0546;
constexpr double kCompensationSlope = 0.00216;

}  // namespace

Ds2438Device::Ds2438Device(onewire::RomCode rom, Faults faults, Ds2438Settings settings)
    : ByteDevice(rom, faults), settings_(settings) {
  memory_[0][0] = settings.config & kConfigBits;
}

double Ds2438Device::SensorVoltage(double rh, double celsius, double vdd) {
  const double sensor = rh * (kCompensationBase - kCompensationSlope * celsius);
  return vdd * (sensor * kSlope + kZeroOffset);
}

double Ds2438Device::InputVoltage(bool supply, SimTime at) const {
  if (supply) return settings_.vdd.At(at);
  if (settings_.vad) return settings_.vad->At(at);
  return SensorVoltage(settings_.rh.At(at), settings_.temperature.At(at), settings_.vdd.At(at));
}

void Ds2438Device::Advance(SimTime now) {
  auto& page0 = memory_[0];
  if (temp_end_ && now >= *temp_end_) {
    const double t = std::clamp(settings_.temperature.At(*temp_end_), -55.0, 125.0);
    // 13 bits, left-justified in the 16-bit register.
    const auto word = static_cast<std::uint16_t>(std::lround(t / 0.03125) * 8);
    page0[1] = static_cast<std::uint8_t>(word & 0xFF);
    page0[2] = static_cast<std::uint8_t>(word >> 8);
    temp_end_.reset();
  }
  if (volt_end_ && now >= *volt_end_) {
    const double v = std::clamp(InputVoltage(volt_supply_, *volt_end_), 0.0, 10.23);
    const auto word = static_cast<std::uint16_t>(std::lround(v * 100.0));
    page0[3] = static_cast<std::uint8_t>(word & 0xFF);
    page0[4] = static_cast<std::uint8_t>(word >> 8);
    volt_end_.reset();
  }
}

std::uint8_t Ds2438Device::Status(SimTime now) {
  Advance(now);
  return static_cast<std::uint8_t>((memory_[0][0] & kConfigBits) | (temp_end_ ? kTempBusy : 0) |
                                   (volt_end_ ? kVoltBusy : 0));
}

void Ds2438Device::OnReset(SimTime now) {
  Advance(now);
  mode_ = Mode::kIgnore;
}

void Ds2438Device::OnFunctionStart(SimTime now) {
  Advance(now);
  mode_ = Mode::kCommand;
  index_ = 0;
}

void Ds2438Device::Command(std::uint8_t command, SimTime now) {
  const SimTime end =
      faults().busy_forever ? std::numeric_limits<SimTime>::max() : now + kConversionMicros;
  switch (command) {
    case kConvertT:
      if (!temp_end_) temp_end_ = end;
      mode_ = Mode::kBusyPoll;
      return;
    case kConvertV:
      if (!volt_end_) {
        volt_end_ = end;
        volt_supply_ = (memory_[0][0] & kInputSupply) != 0;
      }
      mode_ = Mode::kBusyPoll;
      return;
    case kRecallMemory:
    case kReadScratchpad:
    case kWriteScratchpad:
    case kCopyScratchpad:
      command_ = command;
      mode_ = Mode::kPage;
      return;
    default:
      mode_ = Mode::kIgnore;
      return;
  }
}

void Ds2438Device::PageCommand(std::uint8_t page, SimTime now) {
  if (page >= memory_.size()) {
    mode_ = Mode::kIgnore;
    return;
  }
  page_ = page;
  index_ = 0;
  switch (command_) {
    case kRecallMemory:
      scratch_[page_] = memory_[page_];
      if (page_ == 0) scratch_[0][0] = Status(now);
      mode_ = Mode::kIgnore;
      return;
    case kReadScratchpad:
      mode_ = Mode::kReadPad;
      return;
    case kWriteScratchpad:
      mode_ = Mode::kWritePad;
      return;
    default:  // Copy Scratchpad
      if (page_ == 0) {
        // Only the configuration bits and the threshold byte are writable.
        memory_[0][0] = static_cast<std::uint8_t>((memory_[0][0] & ~kConfigBits) |
                                                  (scratch_[0][0] & kConfigBits));
        memory_[0][7] = scratch_[0][7];
      } else {
        memory_[page_] = scratch_[page_];
      }
      mode_ = Mode::kIgnore;
      return;
  }
}

std::optional<int> Ds2438Device::NextBit(SimTime now) {
  if (mode_ != Mode::kBusyPoll) return std::nullopt;
  Advance(now);
  return Busy() ? 0 : 1;
}

std::optional<std::uint8_t> Ds2438Device::NextByte(SimTime now) {
  Advance(now);
  if (mode_ != Mode::kReadPad || index_ > 8) return std::nullopt;
  const auto i = static_cast<std::size_t>(index_++);
  const Page& page = scratch_[page_];
  if (i < page.size()) return page[i];
  return onewire::Crc8(page);
}

void Ds2438Device::ByteReceived(std::uint8_t line, SimTime now) {
  switch (mode_) {
    case Mode::kCommand:
      Command(line, now);
      return;
    case Mode::kPage:
      PageCommand(line, now);
      return;
    case Mode::kWritePad: {
      if (index_ >= 8) return;
      auto& byte = scratch_[page_][static_cast<std::size_t>(index_)];
      if (page_ != 0 || index_ == 7) {
        byte = line;
      } else if (index_ == 0) {
        byte = static_cast<std::uint8_t>((byte & ~kConfigBits) | (line & kConfigBits));
      }
      ++index_;
      return;
    }
    default:
      return;
  }
}

std::unique_ptr<SimDevice> MakeDs2438(const onewire::RomCode& rom, const JsonObject& device,
                                      const Faults& faults) {
  device.AllowOnly({ORVEL_SIM_COMMON_KEYS, "temperature", "vdd", "vad", "rh", "config"});
  Ds2438Settings s;
  s.temperature = device.Value("temperature", kCelsius, 20.0);
  s.vdd = device.Value("vdd", kVolts, 5.0);
  if (device.Has("vad") && device.Has("rh")) device.Fail("vad", "give either vad or rh, not both");
  if (device.Has("vad")) s.vad = device.Value("vad", kVolts);
  s.rh = device.Value("rh", kPercentRh, 50.0);
  s.config = static_cast<std::uint8_t>(device.Integer("config", 0, 255, 0x0F));
  return std::make_unique<Ds2438Device>(rom, faults, s);
}

}  // namespace orvel::sim
