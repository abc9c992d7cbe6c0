#pragma once

#include <memory>

#include "core/clock.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/sim_bus.h"
#include "onewire/tmex_over_master.h"

namespace orvel::sim {

// The embedded default driver: the driver operations over a simulated bus.
// Any port number and type reach the same bus.
class SimulatedDriver {
 public:
  SimulatedDriver(core::Clock& clock, BusSpec spec);
  explicit SimulatedDriver(core::Clock& clock) : SimulatedDriver(clock, BusSpec{}) {}

  onewire::TmexOverMaster& tmex() { return tmex_; }
  SimBus& bus() { return *bus_; }

 private:
  std::shared_ptr<SimBus> bus_;
  onewire::TmexOverMaster tmex_;
};

}  // namespace orvel::sim
