#include "measure/fast_thermometers.h"

#include <algorithm>
#include <utility>

#include "onewire/function_commands.h"
#include "sensors/thermometer_reader.h"

namespace orvel::measure {
namespace {

using onewire::thermometer_command::kReadScratchpad;
using sensors::PadVerdict;
constexpr std::int16_t kReadSlot = 0xFF;
constexpr int kPadReads = 2;
constexpr const char* kImplausible = "implausible scratchpad";

bool Thermometer(const onewire::CurrentSens& sens) {
  return sens.Family == onewire::kFamilyDs18s20 || sens.Family == onewire::kFamilyDs18b20;
}

}  // namespace

FastThermometers::FastThermometers(SensorReaders& normal, onewire::BusSession& bus,
                                   onewire::DeviceTable& Asens, const std::int16_t& FoundDev,
                                   core::Clock& clock, core::MessagePump& pump,
                                   std::function<bool()> continuing)
    : normal_(normal),
      bus_(bus),
      Asens_(Asens),
      FoundDev_(FoundDev),
      continuing_(std::move(continuing)),
      conversion_(bus, clock, pump) {}

bool FastThermometers::TakeFailure() { return std::exchange(failed_, false); }

bool FastThermometers::getValueHLT(std::int16_t slot) {
  const bool fresh = normal_.getValueHLT(slot);
  if (!fresh) failed_ = true;
  return fresh;
}

bool FastThermometers::ReadThermometer(std::int16_t slot) {
  if (slot < 0 || slot >= onewire::kSlotCount) return false;
  lastSlot_ = slot;
  if (!converted_ && !noPullup_) ReadAll();
  if (noPullup_) return normal_.ReadThermometer(slot);
  return std::exchange(fresh_[static_cast<std::size_t>(slot)], false);
}

std::pair<ReadState, std::string> FastThermometers::ThermometerFailure() const {
  if (noPullup_) return normal_.ThermometerFailure();
  const auto& [state, reason] = why_[static_cast<std::size_t>(lastSlot_)];
  return {state, reason};
}

bool FastThermometers::Refuse(int slot, ReadState state, const char* reason) {
  why_[static_cast<std::size_t>(slot)] = {state, reason};
  return false;
}

std::uint32_t FastThermometers::ConversionMillis(const std::vector<int>& slots) const {
  std::uint32_t longest = 0;
  for (int slot : slots) {
    const auto& sens = Asens_[static_cast<std::size_t>(slot)];
    const auto known = configs_.find(sens.ROMS);
    longest = std::max(longest,
                       sensors::ConversionMillis(
                           static_cast<std::uint8_t>(sens.Family),
                           known == configs_.end() ? std::nullopt : std::optional(known->second)));
  }
  return longest;
}

std::optional<sensors::Scratchpad> FastThermometers::ReadPad(int slot) {
  auto& tmex = bus_.tmex;
  const auto h = bus_.SHandle;
  // A copy: TMRom writes the current code back into a buffer starting with 0.
  std::array<std::int16_t, 9> rom{};
  std::copy(Asens_[static_cast<std::size_t>(slot)].ROM.begin(),
            Asens_[static_cast<std::size_t>(slot)].ROM.begin() + 8, rom.begin());
  if (tmex.TMRom(h, bus_.StateBuf.data(), rom.data()) <= 0) return std::nullopt;
  for (int attempt = 0; attempt < kPadReads; ++attempt) {
    if (tmex.TMAccess(h, bus_.StateBuf.data()) != 1) continue;
    if ((tmex.TMTouchByte(h, kReadScratchpad) & 0xFF) != kReadScratchpad) continue;
    sensors::Scratchpad pad{};
    bool read = true;
    for (auto& byte : pad) {
      const std::int16_t b = tmex.TMTouchByte(h, kReadSlot);
      read = read && b >= 0;
      byte = static_cast<std::uint8_t>(b & 0xFF);
    }
    if (read && (tmex.TMCRC(static_cast<std::int16_t>(pad.size()), pad.data(), 0, 0) & 0xFF) == 0) {
      return pad;
    }
  }
  return std::nullopt;
}

bool FastThermometers::Accept(int slot, const sensors::Scratchpad& pad) {
  auto& sens = Asens_[static_cast<std::size_t>(slot)];
  const auto family = static_cast<std::uint8_t>(sens.Family);
  // A resolution above the one waited for: the conversion may not have
  // ended. Its time is known from now on.
  if (family == onewire::kFamilyDs18b20) configs_[sens.ROMS] = pad[4];
  if (sensors::ConversionMillis(family, pad[4]) > waitedMs_) {
    failed_ = true;
    return Refuse(slot, ReadState::Busy, "conversion longer than the wait");
  }
  const auto value = sensors::DecodeTemperature(family, pad);
  if (!value) return Refuse(slot, ReadState::ReadError, kImplausible);
  sensors::StoreReading(sens, *value, pad);
  fresh_[static_cast<std::size_t>(slot)] = true;
  return true;
}

std::vector<FastThermometers::Again> FastThermometers::ConvertAndRead(
    const std::vector<int>& slots, const std::vector<Again>* second) {
  std::vector<Again> again;
  if (!parasite_) parasite_ = conversion_.AnyParasite();
  const auto converted = parasite_ ? conversion_.ConvertAll(*parasite_, waitedMs_)
                                   : BroadcastConversion::Result::kFailed;
  if (converted == BroadcastConversion::Result::kNoPullup) {
    noPullup_ = true;
    return again;
  }
  if (converted != BroadcastConversion::Result::kDone) {
    // Nothing read now can be told from an older conversion.
    failed_ = true;
    for (int slot : slots) Refuse(slot, ReadState::ReadError, "broadcast conversion failed");
    configs_.clear();
    parasite_.reset();
    return again;
  }
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (!continuing_()) return {};
    const int slot = slots[i];
    const auto pad = ReadPad(slot);
    if (!pad) {
      failed_ = true;
      Refuse(slot, ReadState::ReadError, "no answer to Match ROM, or scratchpad CRC error");
      continue;
    }
    const PadVerdict verdict = sensors::JudgeScratchpad(
        static_cast<std::uint8_t>(Asens_[static_cast<std::size_t>(slot)].Family), *pad);
    if (second != nullptr) {
      // A confirmation must again sit at the edge of a count; a retry after
      // power-on content must give a plain value.
      const bool confirmed = (*second)[i].first == PadVerdict::kConfirm
                                 ? verdict == PadVerdict::kConfirm
                                 : verdict == PadVerdict::kAccept;
      if (confirmed) {
        Accept(slot, *pad);
      } else if (verdict == PadVerdict::kPowerOn) {
        failed_ = true;
        Refuse(slot, ReadState::PowerOnValue, "power-on value");
      } else {
        Refuse(slot, ReadState::ReadError, kImplausible);
      }
      continue;
    }
    if (verdict == PadVerdict::kAccept) {
      Accept(slot, *pad);
    } else if (verdict == PadVerdict::kConfirm || verdict == PadVerdict::kPowerOn) {
      again.push_back({slot, verdict});
    } else {
      Refuse(slot, ReadState::ReadError, kImplausible);
    }
  }
  return again;
}

void FastThermometers::ReadAll() {
  converted_ = true;
  fresh_.fill(false);
  why_.fill({ReadState::ReadError, "no valid reading"});
  std::vector<int> slots;
  const int found = std::clamp<int>(FoundDev_, 0, onewire::kSlotCount);
  for (int slot = 0; slot < found; ++slot) {
    if (Thermometer(Asens_[static_cast<std::size_t>(slot)])) slots.push_back(slot);
  }
  if (slots.empty()) return;
  // Every thermometer converts, so the wait is that of the slowest.
  waitedMs_ = ConversionMillis(slots);
  const std::vector<Again> again = ConvertAndRead(slots, nullptr);
  if (again.empty() || !continuing_()) return;
  // One more conversion for all, read for those that asked for it.
  std::vector<int> retry;
  for (const Again& a : again) retry.push_back(a.slot);
  ConvertAndRead(retry, &again);
}

}  // namespace orvel::measure
