#include "drivers/driver_choice.h"

#include <utility>

#include "onewire/sim/simulated_driver.h"
#include "onewire/tmex_over_master.h"

namespace orvel::drivers {
namespace {

class SimulatedBusDriver final : public Driver {
 public:
  SimulatedBusDriver(core::Clock& clock, sim::BusSpec spec) : driver_(clock, std::move(spec)) {}
  onewire::Tmex& tmex() override { return driver_.tmex(); }
  sim::SimBus* simulated_bus() override { return &driver_.bus(); }

 private:
  sim::SimulatedDriver driver_;
};

// A platform without a 1-Wire driver: no default port, and every session
// start fails with a driver error, which the scan reports in its status.
class NoDriver final : public Driver {
 public:
  NoDriver()
      : tmex_(
            [](std::int16_t, std::int16_t, std::int32_t* error) {
              *error = onewire::kTmexNoDriver;
              return std::shared_ptr<onewire::OneWireMaster>();
            },
            std::nullopt, "no 1-Wire driver") {}
  onewire::Tmex& tmex() override { return tmex_; }

 private:
  onewire::TmexOverMaster tmex_;
};

}  // namespace

std::unique_ptr<Driver> OpenDriver(const DriverChoice& choice, core::Clock& clock) {
  if (choice.bus_file && choice.adapter) {
    throw DriverChoiceError("give either a bus file or an adapter, not both");
  }
  if (choice.bus_file) {
    try {
      return std::make_unique<SimulatedBusDriver>(clock, sim::LoadBusFile(*choice.bus_file));
    } catch (const sim::BusFileError& e) {
      throw DriverChoiceError(e.what());
    }
  }
  if (choice.adapter) return OpenAdapter(*choice.adapter, clock);
  return OpenPlatformDriver(clock);
}

std::unique_ptr<Driver> OpenAdapter(const std::string& spec, core::Clock&) {
  throw DriverChoiceError("no adapter driver for \"" + spec + "\"");
}

std::unique_ptr<Driver> OpenPlatformDriver(core::Clock&) { return std::make_unique<NoDriver>(); }

}  // namespace orvel::drivers
