#pragma once

#include <cstdint>
#include <optional>

#include "core/clock.h"
#include "core/platform.h"
#include "onewire/bus_session.h"

namespace orvel::measure {

// Commands to every device at once (Skip ROM) for the fast mode: Read Power
// Supply, and Convert T for all thermometers followed by one wait.
class BroadcastConversion {
 public:
  BroadcastConversion(onewire::BusSession& bus, core::Clock& clock, core::MessagePump& pump)
      : bus_(bus), clock_(clock), pump_(pump) {}

  // Whether some device on the bus draws its power from the data line;
  // nullopt when the bus did not take the command.
  std::optional<bool> AnyParasite();

  enum class Result {
    kDone,
    kFailed,    // the command did not go out whole, or a powered conversion did not end
    kNoPullup,  // a parasite bus, and the adapter has no strong pull-up
  };
  // Convert T for every thermometer, then the wait: on a parasite bus the
  // strong pull-up from the command's last bit for `conversionMs`; on a
  // powered bus read slots until every device is done, for at most
  // `conversionMs`.
  Result ConvertAll(bool parasite, std::uint32_t conversionMs);

 private:
  // A reset with presence, then Skip ROM (and `command`), each byte echoed.
  bool AllSelected();
  bool SkipRom(std::uint8_t command);
  bool Echoed(std::uint8_t byte);
  bool PollUntilDone(std::uint32_t conversionMs);
  void Wait(std::uint32_t ms);

  onewire::BusSession& bus_;
  core::Clock& clock_;
  core::MessagePump& pump_;
};

}  // namespace orvel::measure
