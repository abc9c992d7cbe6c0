#pragma once

#include <cstdint>
#include <optional>

#include "onewire/rom_code.h"
#include "onewire/sim/faults.h"
#include "onewire/sim/sim_time.h"

namespace orvel::sim {

// A device on the simulated bus. It sees every reset and every time slot
// the way a real chip does: it drives the line in a slot (1 = released,
// 0 = pulled low), the bus ANDs all drivers, and it samples the result.
// This base is the ROM-command layer every 1-Wire chip shares (Search ROM,
// Match ROM, Skip ROM, Read ROM); a derived device supplies the function
// layer that runs once it is selected.
class SimDevice {
 public:
  SimDevice(onewire::RomCode rom, Faults faults);
  virtual ~SimDevice() = default;
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  const onewire::RomCode& rom() const { return rom_; }
  const Faults& faults() const { return faults_; }

  // A reset pulse; true when the device answers with presence.
  bool Reset(SimTime now);
  // One time slot, in two phases: what the device drives, then what it
  // samples on the wired-AND line.
  int Drive(int master_bit, SimTime now);
  void Sample(int line, SimTime now);
  // False once the device has dropped out until the next reset.
  bool Listening() const { return state_ != State::kIdle; }
  // The line went to strong pull-up (true) or back to normal (false).
  virtual void OnLineLevel(bool strong_pullup, SimTime now);
  // Present on the bus right now (for hot-plug and absent faults).
  bool Present() const { return present_; }
  void SetPresent(bool present) { present_ = present; }

 protected:
  // The device has just been selected and waits for its command byte.
  virtual void OnSelected(SimTime now) = 0;
  virtual int FunctionDrive(int master_bit, SimTime now) = 0;
  virtual void FunctionSample(int line, SimTime now) = 0;
  // Any reset ends what the function layer was doing.
  virtual void OnReset(SimTime /*now*/) {}

 private:
  enum class State { kIdle, kRomCommand, kSearch, kMatch, kReadRom, kFunction };

  onewire::RomCode rom_;
  Faults faults_;
  bool present_ = true;
  std::uint64_t resets_seen_ = 0;
  State state_ = State::kIdle;
  int bit_index_ = 0;
  int search_phase_ = 0;
  std::uint8_t command_ = 0;
};

}  // namespace orvel::sim
