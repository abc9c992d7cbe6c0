#include "sensors/thermometer_reader.h"

#include "onewire/function_commands.h"
#include "sensors/slot_selection.h"
#include "sensors/thermometer_decode.h"

namespace orvel::sensors {
namespace {

constexpr double kAccepted = 1.0;
constexpr double kFailed = -99.0;
using onewire::thermometer_command::kConvertT;
using onewire::thermometer_command::kReadScratchpad;
constexpr std::int16_t kReadSlot = 0xFF;
constexpr std::uint32_t kConversionWaitMs = 800;
constexpr std::uint32_t kWaitStepMs = 100;

// Puts the line back to its normal level when the wait ends, also when a
// message handled during the wait throws.
class NormalLevelOnExit {
 public:
  explicit NormalLevelOnExit(onewire::BusSession& bus) : bus_(bus) {}
  ~NormalLevelOnExit() {
    try {
      bus_.tmex.TMOneWireLevel(bus_.SHandle, onewire::kLevelSet, onewire::kLevelNormal,
                               onewire::kPrimeNow);
    } catch (...) {
      // Nothing more can be done for the line while unwinding.
    }
  }
  NormalLevelOnExit(const NormalLevelOnExit&) = delete;
  NormalLevelOnExit& operator=(const NormalLevelOnExit&) = delete;

 private:
  onewire::BusSession& bus_;
};

}  // namespace

ThermometerReader::ThermometerReader(onewire::BusSession& bus, onewire::DeviceTable& Asens,
                                     core::Clock& clock, core::MessagePump& pump)
    : bus_(bus), Asens_(Asens), clock_(clock), pump_(pump) {}

void ThermometerReader::WaitForConversion() {
  // Unsigned difference: correct across the tick counter's wrap-around.
  const std::uint32_t start = clock_.TickCount();
  while (clock_.TickCount() - start < kConversionWaitMs) {
    clock_.Sleep(kWaitStepMs);
    pump_.ProcessMessages();
  }
}

bool ThermometerReader::ConversionPass() {
  auto& tmex = bus_.tmex;
  const auto h = bus_.SHandle;
  tmex.TMAccess(h, bus_.StateBuf.data());
  tmex.TMOneWireLevel(h, onewire::kLevelSet, onewire::kLevelStrongPullup, onewire::kPrimeAfterByte);
  {
    NormalLevelOnExit normal_level(bus_);
    tmex.TMTouchByte(h, kConvertT);
    tmex.TMOneWireLevel(h, onewire::kLevelRead, onewire::kLevelStrongPullup,
                        onewire::kPrimeAfterBit);
    WaitForConversion();
  }
  if (tmex.TMStrongAccess(h, bus_.StateBuf.data()) <= 0) return false;
  tmex.TMTouchByte(h, kReadScratchpad);
  for (auto& byte : iarray) byte = static_cast<std::uint8_t>(tmex.TMTouchByte(h, kReadSlot) & 0xFF);
  return true;
}

bool ThermometerReader::CrcIntact() {
  return (bus_.tmex.TMCRC(static_cast<std::int16_t>(iarray.size()), iarray.data(), 0, 0) & 0xFF) ==
         0;
}

ThermometerFault ThermometerReader::CheckPass(std::uint8_t family) {
  if (!CrcIntact()) return ThermometerFault::kCrc;
  switch (CheckContent(family, iarray)) {
    case ScratchpadContent::kUsable:
      return ThermometerFault::kNone;
    case ScratchpadContent::kPowerOn:
      return ThermometerFault::kPowerOn;
    default:
      return ThermometerFault::kContent;
  }
}

double ThermometerReader::Refuse(ThermometerFault fault) {
  lastFault = fault;
  return kFailed;
}

double ThermometerReader::ReadThermometer(std::int16_t slot) {
  lastFault = ThermometerFault::kNone;
  if (slot < 0 || slot >= onewire::kSlotCount) return Refuse(ThermometerFault::kNotSelected);
  auto& sens = Asens_[static_cast<std::size_t>(slot)];
  const auto family = static_cast<std::uint8_t>(sens.Family);
  if (!SelectSlotDevice(bus_, sens)) return Refuse(ThermometerFault::kNotSelected);

  if (!ConversionPass()) return Refuse(ThermometerFault::kNoAnswer);
  if (const ThermometerFault fault = CheckPass(family); fault != ThermometerFault::kNone) {
    return Refuse(fault);
  }
  if (NeedsConfirmation(iarray)) {
    // When the device is gone for the second pass, the first scratchpad
    // (still in iarray) stands.
    if (ConversionPass()) {
      if (const ThermometerFault fault = CheckPass(family); fault != ThermometerFault::kNone) {
        return Refuse(fault);
      }
      if (!NeedsConfirmation(iarray)) return Refuse(ThermometerFault::kContent);
    }
  }
  const auto value = DecodeTemperature(family, iarray);
  if (!value) return Refuse(ThermometerFault::kContent);

  sens.Temperature = *value;
  sens.CorrectTemp = *value;
  sens.UpLimitT = AlarmByteValue(iarray[2]);
  sens.DownLimitT = AlarmByteValue(iarray[3]);
  sens.FlagReadyValue = 1;
  return kAccepted;
}

}  // namespace orvel::sensors
