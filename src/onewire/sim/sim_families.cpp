#include "onewire/sim/sim_families.h"

#include <array>
#include <utility>

#include "onewire/sim/devices/bridge_probe_factory.h"
#include "onewire/sim/devices/ds18b20_device.h"
#include "onewire/sim/devices/ds18s20_device.h"
#include "onewire/sim/devices/ds2438_device.h"
#include "onewire/sim/devices/rom_only_device.h"

namespace orvel::sim {
namespace {

std::unique_ptr<SimDevice> MakeRomOnly(const onewire::RomCode& rom, const JsonObject& device,
                                       const Faults& faults) {
  device.AllowOnly({ORVEL_SIM_COMMON_KEYS});
  return std::make_unique<RomOnlyDevice>(rom, faults);
}

struct FamilyEntry {
  std::uint8_t family;
  std::unique_ptr<SimDevice> (*make)(const onewire::RomCode&, const JsonObject&, const Faults&);
};

// Device models by family code. Add a family here and nowhere else.
constexpr std::array kFamilies{
    FamilyEntry{onewire::kFamilySerialId, &MakeRomOnly},
    FamilyEntry{onewire::kFamilySerialIdAlt, &MakeRomOnly},
    FamilyEntry{onewire::kFamilyDs18s20, &MakeDs18s20},
    FamilyEntry{onewire::kFamilyDs18b20, &MakeDs18b20},
    FamilyEntry{onewire::kFamilyDs2438, &MakeDs2438},
    FamilyEntry{onewire::kFamilyDs28e17, &MakeBridgeProbe},
};

}  // namespace

SimDeviceFactory FactoryForFamily(std::uint8_t family) {
  for (const auto& entry : kFamilies) {
    if (entry.family == family) return entry.make;
  }
  return &MakeRomOnly;
}

}  // namespace orvel::sim
