#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "onewire/rom_code.h"
#include "onewire/sim/json_reader.h"
#include "onewire/sim/sim_device.h"

namespace orvel::sim {

// Builds the model of one device from its bus-file object. `device` holds
// the common keys ("family", "serial", "rom", "faults") besides the
// family's own; the factory refuses keys it does not know.
using SimDeviceFactory = std::function<std::unique_ptr<SimDevice>(
    const onewire::RomCode& rom, const JsonObject& device, const Faults& faults)>;

// The one table from family code to device model; families it does not
// list answer ROM commands only.
SimDeviceFactory FactoryForFamily(std::uint8_t family);

// The keys every device object may carry.
#define ORVEL_SIM_COMMON_KEYS "family", "serial", "rom", "faults"

}  // namespace orvel::sim
