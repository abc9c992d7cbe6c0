#include "onewire/sim/simulated_driver.h"

namespace orvel::sim {
namespace {

std::optional<onewire::DefaultPort> DefaultPortOf(const BusSpec& spec) {
  if (!spec.default_port) return std::nullopt;
  return onewire::DefaultPort{1, 6};
}

}  // namespace

SimulatedDriver::SimulatedDriver(core::Clock& clock, BusSpec spec)
    : bus_(std::make_shared<SimBus>(clock)),
      tmex_(
          [bus = bus_](std::int16_t, std::int16_t, std::int32_t*) {
            return std::static_pointer_cast<onewire::OneWireMaster>(bus);
          },
          DefaultPortOf(spec), "Orvel simulated 1-Wire driver") {
  bus_->SetAdapterPresent(spec.adapter_present);
  for (auto& device : spec.devices) bus_->Add(std::move(device));
}

}  // namespace orvel::sim
