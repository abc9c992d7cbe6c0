#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "core/controls.h"
#include "onewire/bus_session.h"
#include "onewire/current_sens.h"

namespace orvel::onewire {

// A ROM text with a character that is neither "A".."F" nor a decimal digit:
// the integer-conversion error of Hex2Rom, which reaches its caller.
class RomTextError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The device table and the ROM-code operations around it: filling a slot
// from a code the scan found, selecting a device named by its text, and the
// bus-wide command that closes a measurement cycle.
class DeviceCatalog {
 public:
  DeviceCatalog(BusSession& bus, core::TextControl& stat1);

  DeviceTable Asens{};

  // Fills Asens[slot] from rom[0..7] (family code first). A slot index
  // outside the table is ignored. A code other than the one the slot held
  // starts the slot afresh, so one device never inherits another's readings.
  void RegisterDevice(const std::int16_t* rom, int slot);
  // Turns a 16-character ROM text into the session's ROM buffer and makes
  // that code the driver's current device. Any other length is ignored.
  // Throws RomTextError on a character that is not "A".."F" or "0".."9";
  // the buffer then holds what was converted before it.
  void Hex2Rom(const std::string& pHexString);
  // Skip ROM + 0x1E to every device (the bridge's sleep command), when the
  // session is still valid.
  void sendAllDevices();

 private:
  BusSession& bus_;
  core::TextControl& stat1_;
};

}  // namespace orvel::onewire
