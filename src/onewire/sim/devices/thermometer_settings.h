#pragma once

#include "onewire/sim/devices/thermometer_device.h"
#include "onewire/sim/json_reader.h"
#include "onewire/sim/sim_families.h"

namespace orvel::sim {

// The bus-file keys both thermometer families take.
#define ORVEL_SIM_THERMOMETER_KEYS "temperature", "th", "tl", "parasite"

// temperature (default 20 C), th and tl (alarm bytes, -128..255, defaults
// 75 and 70), parasite (default false).
inline ThermometerSettings ReadThermometerSettings(const JsonObject& device) {
  ThermometerSettings s;
  s.temperature = device.Value("temperature", kCelsius, 20.0);
  s.th = static_cast<std::uint8_t>(device.Integer("th", -128, 255, 75));
  s.tl = static_cast<std::uint8_t>(device.Integer("tl", -128, 255, 70));
  s.parasite = device.Boolean("parasite", false);
  return s;
}

}  // namespace orvel::sim
