#pragma once

#include "onewire/bus_session.h"
#include "onewire/current_sens.h"

namespace orvel::sensors {

enum class Selection { kSelected, kRomRefused, kSessionInvalid, kNoAnswer };

// TMRom with the slot's code, TMValidSession, TMStrongAccess; stops at the
// first call that returns 0 or less. The code is passed as a copy: a slot
// whose family byte were 0 would otherwise have the driver's current code
// written into it.
Selection SelectSlot(onewire::BusSession& bus, const onewire::CurrentSens& sens);

inline bool SelectSlotDevice(onewire::BusSession& bus, const onewire::CurrentSens& sens) {
  return SelectSlot(bus, sens) == Selection::kSelected;
}

}  // namespace orvel::sensors
