#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "onewire/ds2490/usb_transport.h"
#include "onewire/sim/sim_bus.h"

namespace orvel::sim {

// A DS2490 on a simulated bus, seen at the level of its USB transfers:
// communication commands run at once on the bus, data goes through the
// bulk pipes and outcomes through the status packet. It records every
// control transfer, and can be unplugged (every transfer fails).
class Ds2490Model final : public onewire::UsbTransport {
 public:
  struct ControlTransfer {
    std::uint8_t request;
    std::uint16_t value;
    std::uint16_t index;
    bool operator==(const ControlTransfer&) const = default;
  };

  explicit Ds2490Model(SimBus& bus) : bus_(bus) {}

  bool Control(std::uint8_t request, std::uint16_t value, std::uint16_t index) override;
  int BulkOut(const std::uint8_t* data, int length) override;
  int BulkIn(std::uint8_t* data, int length) override;
  int InterruptIn(std::uint8_t* data, int length) override;

  void SetUnplugged(bool unplugged) { unplugged_ = unplugged; }
  void SetShorted(bool shorted) {
    shorted_ = shorted;
    bus_.SetShorted(shorted);
  }

  std::vector<ControlTransfer> controls;
  int status_polls = 0;

 private:
  void Communicate(std::uint16_t value, std::uint16_t index);
  void Search(std::uint16_t value);

  SimBus& bus_;
  bool unplugged_ = false;
  bool shorted_ = false;
  bool pullup_enabled_ = false;
  std::deque<std::uint8_t> ep2_;
  std::deque<std::uint8_t> ep3_;
  std::vector<std::uint8_t> results_;
};

}  // namespace orvel::sim
