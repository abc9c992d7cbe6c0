#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "onewire/tmex_over_master.h"

namespace orvel::drivers {

// Adapter types as the settings tab numbers them.
inline constexpr std::int16_t kPassiveSerialType = 1;  // "DS9097E"
inline constexpr std::int16_t kDs2480bType = 5;        // "DS90907U"
inline constexpr std::int16_t kUsbType = 6;            // "USB"

// An adapter named on the command line: its port type and number, and for
// a serial adapter the device it sits on.
struct AdapterSpec {
  std::int16_t port_type = 0;
  std::int16_t port_num = 1;
  std::string path;
};

// "ds2480b:PATH", "ds9097e:PATH", "ds2490" or "ds2490:N" (the N-th USB
// adapter, from 1). nullopt with a one-line reason in *error.
std::optional<AdapterSpec> ParseAdapterSpec(const std::string& text, std::string* error);

// The device of serial port N (1..): /dev/ttyUSB(N-1).
std::string SerialPortPath(std::int16_t port_num);

// Opens the link layer for a port: the passive serial adapter, the DS2480B
// or the DS2490 by port type; the named adapter's own path for its port.
// Other types have no driver here and fail the session start.
onewire::MasterOpener LinuxMasterOpener(std::optional<AdapterSpec> named);

}  // namespace orvel::drivers
