#pragma once

#include <cstdint>
#include <vector>

#include "onewire/sim/adapters/serial_device_model.h"
#include "onewire/sim/sim_bus.h"

namespace orvel::sim {

// A passive serial adapter on a simulated bus: the bus is wired between the
// transmit and receive lines, so each byte comes back as the line saw it.
// At 9600 baud a 0xF0 is a reset and its echo shows a presence pulse; at
// higher speeds each byte is one time slot.
class PassiveAdapterModel final : public SerialDeviceModel {
 public:
  explicit PassiveAdapterModel(SimBus& bus) : bus_(bus) {}

  void Receive(std::uint8_t byte, int baud, std::vector<std::uint8_t>& out) override;

  // Faults: no echo at all, and a short on the 1-Wire line.
  void SetUnplugged(bool unplugged) { unplugged_ = unplugged; }
  void SetShorted(bool shorted) {
    shorted_ = shorted;
    bus_.SetShorted(shorted);
  }

 private:
  SimBus& bus_;
  bool unplugged_ = false;
  bool shorted_ = false;
};

}  // namespace orvel::sim
