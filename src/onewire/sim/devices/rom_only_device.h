#pragma once

#include "onewire/sim/sim_device.h"

namespace orvel::sim {

// A chip with nothing but its ROM code (serial-number chips such as an
// adapter's ID chip, and every family this program does not read): it
// answers reset and ROM commands and ignores function commands.
class RomOnlyDevice final : public SimDevice {
 public:
  using SimDevice::SimDevice;

 protected:
  void OnSelected(SimTime) override {}
  int FunctionDrive(int, SimTime) override { return 1; }
  void FunctionSample(int, SimTime) override {}
};

}  // namespace orvel::sim
