#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/clock.h"
#include "onewire/one_wire_master.h"
#include "onewire/sim/sim_device.h"

namespace orvel::sim {

// What crossed the simulated bus, with its standard-speed duration.
struct BusTraffic {
  std::uint64_t resets = 0;
  std::uint64_t slots = 0;
  std::uint64_t bytes = 0;  // byte operations (8 slots each, counted in slots too)
  std::int64_t strong_pullup_us = 0;
  std::int64_t bus_us = 0;  // resets and slots at standard speed
};

// Standard-speed timing: reset low plus presence window, and one slot with
// its recovery.
inline constexpr std::int64_t kResetMicros = 960;
inline constexpr std::int64_t kSlotMicros = 70;

// The 1-Wire line with its devices, driven as an adapter would drive it.
// Devices see a clock that is the program's clock plus the bus time spent
// so far, so conversions and busy flags follow both waits and traffic.
class SimBus final : public onewire::OneWireMaster {
 public:
  explicit SimBus(core::Clock& clock);

  SimDevice& Add(std::unique_ptr<SimDevice> device);
  // Takes a device off the bus; true when it was there.
  bool Remove(const onewire::RomCode& rom);
  SimDevice* Find(const onewire::RomCode& rom) const;
  std::size_t DeviceCount() const { return devices_.size(); }

  void SetAdapterPresent(bool present) { adapter_present_ = present; }
  bool AdapterPresent() const { return adapter_present_; }
  // A short on the line: resets see no presence and every slot reads 0.
  void SetShorted(bool shorted) { shorted_ = shorted; }

  // Runs after every time slot with the number of slots so far, so a test
  // can unplug or plug a device at an exact bit of a search.
  void SetSlotHook(std::function<void(std::uint64_t slots)> hook) { slot_hook_ = std::move(hook); }

  const BusTraffic& traffic() const { return traffic_; }
  void ResetTraffic() { traffic_ = {}; }
  SimTime Now() const;

  bool Setup() override;
  std::optional<bool> Reset() override;
  std::optional<int> TouchBit(int bit) override;
  std::optional<std::uint8_t> TouchByte(std::uint8_t byte) override;
  void ArmStrongPullupAfterNextByte() override { armed_ = true; }
  void SetNormalLevel() override;
  void SetStrongPullupNow() override;
  bool StrongPullupActive() const override { return strong_; }
  std::string Description() const override { return "Simulated 1-Wire bus"; }

 protected:
  void OnByteComplete() override;

 private:
  void EndStrongPullup();

  core::Clock& clock_;
  std::vector<std::unique_ptr<SimDevice>> devices_;
  std::vector<SimDevice*> active_;  // devices still listening since the last reset
  BusTraffic traffic_;
  std::function<void(std::uint64_t)> slot_hook_;
  bool adapter_present_ = true;
  bool shorted_ = false;
  bool armed_ = false;
  bool strong_ = false;
  SimTime strong_since_ = 0;
};

}  // namespace orvel::sim
