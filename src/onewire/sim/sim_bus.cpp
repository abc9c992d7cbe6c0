#include "onewire/sim/sim_bus.h"

#include <algorithm>

namespace orvel::sim {

SimBus::SimBus(core::Clock& clock) : clock_(clock) {}

SimTime SimBus::Now() const { return clock_.MonotonicMicros() + traffic_.bus_us; }

SimDevice& SimBus::Add(std::unique_ptr<SimDevice> device) {
  devices_.push_back(std::move(device));
  return *devices_.back();
}

bool SimBus::Remove(const onewire::RomCode& rom) {
  const auto it = std::find_if(devices_.begin(), devices_.end(),
                               [&](const auto& d) { return d->rom() == rom; });
  if (it == devices_.end()) return false;
  std::erase(active_, it->get());
  devices_.erase(it);
  return true;
}

SimDevice* SimBus::Find(const onewire::RomCode& rom) const {
  for (const auto& d : devices_) {
    if (d->rom() == rom) return d.get();
  }
  return nullptr;
}

bool SimBus::Setup() {
  if (!adapter_present_) return false;
  if (strong_) EndStrongPullup();
  armed_ = false;
  return true;
}

void SimBus::EndStrongPullup() {
  const SimTime now = Now();
  traffic_.strong_pullup_us += now - strong_since_;
  strong_ = false;
  for (const auto& d : devices_) d->OnLineLevel(false, now);
}

void SimBus::SetNormalLevel() {
  armed_ = false;
  if (strong_) EndStrongPullup();
}

void SimBus::SetStrongPullupNow() {
  armed_ = false;
  if (strong_) return;
  strong_ = true;
  strong_since_ = Now();
  for (const auto& d : devices_) d->OnLineLevel(true, strong_since_);
}

void SimBus::OnByteComplete() {
  if (armed_) SetStrongPullupNow();
}

std::optional<bool> SimBus::Reset() {
  if (!adapter_present_) return std::nullopt;
  // Any bus activity ends the strong pull-up.
  if (strong_) EndStrongPullup();
  armed_ = false;
  ++traffic_.resets;
  traffic_.bus_us += kResetMicros;
  const SimTime now = Now();
  active_.clear();
  bool presence = false;
  for (const auto& d : devices_) {
    if (d->Reset(now)) {
      presence = true;
      active_.push_back(d.get());
    }
  }
  return presence && !shorted_;
}

std::optional<int> SimBus::TouchBit(int bit) {
  if (!adapter_present_) return std::nullopt;
  if (strong_) EndStrongPullup();
  ++traffic_.slots;
  traffic_.bus_us += kSlotMicros;
  const SimTime now = Now();
  int line = bit & 1;
  bool dropped = false;
  for (SimDevice* d : active_) line &= d->Drive(bit & 1, now);
  if (shorted_) line = 0;
  for (SimDevice* d : active_) {
    d->Sample(line, now);
    dropped = dropped || !d->Listening();
  }
  if (dropped) std::erase_if(active_, [](SimDevice* d) { return !d->Listening(); });
  if (slot_hook_) slot_hook_(traffic_.slots);
  return line;
}

std::optional<std::uint8_t> SimBus::TouchByte(std::uint8_t byte) {
  ++traffic_.bytes;
  return OneWireMaster::TouchByte(byte);
}

}  // namespace orvel::sim
