#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "core/clock.h"
#include "onewire/sim/sim_bus.h"
#include "onewire/tmex.h"

namespace orvel::drivers {

// An open 1-Wire driver: the operations the program calls, and for the
// simulated backend its bus (traffic figures, test hooks).
class Driver {
 public:
  virtual ~Driver() = default;
  virtual onewire::Tmex& tmex() = 0;
  virtual sim::SimBus* simulated_bus() { return nullptr; }
  // A line the user must see before any reading, such as that a driver
  // library is the stand-in on a simulated bus; empty when there is none.
  virtual std::string Warning() const { return {}; }
};

// Which driver the user asked for: a simulated bus file, a real adapter, or
// neither (the platform's driver with its default port).
struct DriverChoice {
  std::optional<std::string> bus_file;
  std::optional<std::string> adapter;
};

// A choice that cannot be honoured: a bad adapter spec or a bad bus file.
// The message is one line fit for the user.
class DriverChoiceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::unique_ptr<Driver> OpenDriver(const DriverChoice& choice, core::Clock& clock);

// The real adapter named by `spec` (such as "ds2480b:/dev/ttyUSB0").
std::unique_ptr<Driver> OpenAdapter(const std::string& spec, core::Clock& clock);

// The platform's own driver with its default port, used when nothing was
// chosen. On Windows: the vendor's library by its own name, or the library
// that ORVEL_TMEX_LIBRARY names.
std::unique_ptr<Driver> OpenPlatformDriver(core::Clock& clock);

}  // namespace orvel::drivers
