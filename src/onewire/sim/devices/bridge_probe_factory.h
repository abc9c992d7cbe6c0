#pragma once

#include <memory>

#include "onewire/rom_code.h"
#include "onewire/sim/json_reader.h"
#include "onewire/sim/sim_device.h"

namespace orvel::sim {

// A bridge probe (family 0x19) from its bus-file object: "i2c" with any of
// "hdc", "sht", "sts", "bmp280", and "busy_polls" (default 1).
std::unique_ptr<SimDevice> MakeBridgeProbe(const onewire::RomCode& rom, const JsonObject& device,
                                           const Faults& faults);

}  // namespace orvel::sim
