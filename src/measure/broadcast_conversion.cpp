#include "measure/broadcast_conversion.h"

#include <algorithm>

#include "onewire/function_commands.h"
#include "sensors/thermometer_reader.h"

namespace orvel::measure {
namespace {

using onewire::thermometer_command::kConvertT;
using onewire::thermometer_command::kReadPowerSupply;
constexpr std::uint8_t kSkipRom = 0xCC;
// Between two read slots of a powered conversion: each costs a byte each
// way, and the window is kept alive between them anyway.
constexpr std::uint32_t kPollStepMs = 100;
// The window is kept alive at least this often during a parasite wait.
constexpr std::uint32_t kWaitStepMs = 100;

}  // namespace

bool BroadcastConversion::Echoed(std::uint8_t byte) {
  const std::int16_t read = bus_.tmex.TMTouchByte(bus_.SHandle, byte);
  return read >= 0 && (read & 0xFF) == byte;
}

bool BroadcastConversion::AllSelected() {
  return bus_.tmex.TMTouchReset(bus_.SHandle) == 1 && Echoed(kSkipRom);
}

bool BroadcastConversion::SkipRom(std::uint8_t command) { return AllSelected() && Echoed(command); }

std::optional<bool> BroadcastConversion::AnyParasite() {
  if (!SkipRom(kReadPowerSupply)) return std::nullopt;
  // A parasite device pulls the read slot low.
  const std::int16_t bit = bus_.tmex.TMTouchBit(bus_.SHandle, 1);
  if (bit < 0) return std::nullopt;
  return bit == 0;
}

void BroadcastConversion::Wait(std::uint32_t ms) {
  // Unsigned difference: correct across the tick counter's wrap-around.
  const std::uint32_t start = clock_.TickCount();
  for (std::uint32_t waited = 0; waited < ms; waited = clock_.TickCount() - start) {
    clock_.Sleep(std::min(kWaitStepMs, ms - waited));
    pump_.ProcessMessages();
  }
}

bool BroadcastConversion::PollUntilDone(std::uint32_t conversionMs) {
  const std::uint32_t start = clock_.TickCount();
  for (;;) {
    const std::uint32_t waited = clock_.TickCount() - start;
    if (waited < conversionMs) {
      clock_.Sleep(std::min(kPollStepMs, conversionMs - waited));
      pump_.ProcessMessages();
    }
    // A converting device holds the read slot low.
    const std::int16_t bit = bus_.tmex.TMTouchBit(bus_.SHandle, 1);
    if (bit < 0) return false;
    if (bit == 1) return true;
    if (waited >= conversionMs) return false;
  }
}

BroadcastConversion::Result BroadcastConversion::ConvertAll(bool parasite,
                                                            std::uint32_t conversionMs) {
  auto& tmex = bus_.tmex;
  const auto h = bus_.SHandle;
  if (!parasite) {
    return SkipRom(kConvertT) && PollUntilDone(conversionMs) ? Result::kDone : Result::kFailed;
  }
  if (!AllSelected()) return Result::kFailed;
  // The pull-up starts on the command's last bit: the devices draw their
  // conversion current from it.
  tmex.TMOneWireLevel(h, onewire::kLevelSet, onewire::kLevelStrongPullup, onewire::kPrimeAfterByte);
  sensors::NormalLevelOnExit normal_level(bus_);
  if (!Echoed(kConvertT)) return Result::kFailed;
  if (tmex.TMOneWireLevel(h, onewire::kLevelRead, onewire::kLevelStrongPullup,
                          onewire::kPrimeAfterBit) != onewire::kLevelStrongPullup) {
    return Result::kNoPullup;
  }
  Wait(conversionMs);
  return Result::kDone;
}

}  // namespace orvel::measure
