#include "sensors/slot_selection.h"

namespace orvel::sensors {

Selection SelectSlot(onewire::BusSession& bus, const onewire::CurrentSens& sens) {
  auto rom = sens.ROM;
  if (rom[0] == 0) return Selection::kRomRefused;
  auto* state = bus.StateBuf.data();
  if (bus.tmex.TMRom(bus.SHandle, state, rom.data()) <= 0) return Selection::kRomRefused;
  if (bus.tmex.TMValidSession(bus.SHandle) <= 0) return Selection::kSessionInvalid;
  if (bus.tmex.TMStrongAccess(bus.SHandle, state) <= 0) return Selection::kNoAnswer;
  return Selection::kSelected;
}

}  // namespace orvel::sensors
