#include "sensors/humidity_reader.h"

#include <initializer_list>

#include "onewire/function_commands.h"
#include "sensors/slot_selection.h"

namespace orvel::sensors {
namespace {

using namespace onewire::humidity_module_command;
constexpr std::uint8_t kPage0 = 0x00;
constexpr std::uint8_t kReadSlot = 0xFF;
constexpr std::uint32_t kPollSleepMs = 10;
constexpr std::uint32_t kCopySettleMs = 100;

bool ValidSlot(std::int16_t Indx) { return Indx >= 0 && Indx < onewire::kSlotCount; }

}  // namespace

HumidityReader::HumidityReader(onewire::BusSession& bus, onewire::DeviceTable& Asens,
                               core::Clock& clock, core::MessagePump& pump)
    : bus_(bus), Asens_(Asens), clock_(clock), pump_(pump) {}

bool HumidityReader::StrongAccess() {
  return bus_.tmex.TMStrongAccess(bus_.SHandle, bus_.StateBuf.data()) > 0;
}

void HumidityReader::Send(std::initializer_list<std::uint8_t> bytes) {
  for (const auto b : bytes) bus_.tmex.TMTouchByte(bus_.SHandle, b);
}

void HumidityReader::ReadPage(HumidityPage& page) {
  for (auto& byte : page) {
    byte = static_cast<std::uint8_t>(bus_.tmex.TMTouchByte(bus_.SHandle, kReadSlot) & 0xFF);
  }
}

bool HumidityReader::PollPage(bool first) {
  const std::uint32_t start = clock_.TickCount();
  int polls = 0;
  bool busy = true;
  while (busy) {
    // A module that stops answering, keeps failing its CRC or stays busy
    // must not hold the reading for ever.
    if (polls >= kMaxPolls || clock_.TickCount() - start >= kMaxPollMs) return false;
    ++polls;
    if (StrongAccess()) {
      Send({kRecallMemory, kPage0});
      if (first) pump_.ProcessMessages();
      clock_.Sleep(kPollSleepMs);
      if (StrongAccess()) Send({kReadScratchpad, kPage0});
      ReadPage(page_);
      if ((bus_.tmex.TMCRC(static_cast<std::int16_t>(page_.size()), page_.data(), 0, 0) & 0xFF) ==
          0) {
        busy = PageBusy(page_);
      }
    }
    pump_.ProcessMessages();
  }
  return true;
}

void HumidityReader::StoreVoltage() {
  const bool supply = SupplyInputSelected(page_);
  (supply ? Vsens : ADC0_val) = PageVoltage(page_);
  (supply ? supply_measured_ : sensor_measured_) = true;
}

bool HumidityReader::getValueHLT(std::int16_t Indx) {
  if (!ValidSlot(Indx)) return false;
  auto& sens = Asens_[static_cast<std::size_t>(Indx)];
  if (!SelectSlotDevice(bus_, sens)) return false;
  supply_measured_ = sensor_measured_ = false;

  StrongAccess();  // presence was verified just before
  Send({kConvertT});
  if (StrongAccess()) Send({kConvertV});
  pump_.ProcessMessages();
  if (!PollPage(true)) {
    sens.Hu = kHuNoAnswer;
    return true;
  }
  StrongAccess();
  Temperature = PageTemperature(page_);
  StoreVoltage();

  const std::uint8_t config = SwitchedInputConfig(page_);
  if (StrongAccess()) Send({kWriteScratchpad, kPage0, config});
  pump_.ProcessMessages();
  if (StrongAccess()) Send({kReadScratchpad, kPage0});
  HumidityPage unused{};
  ReadPage(unused);
  pump_.ProcessMessages();
  if (StrongAccess()) Send({kCopyScratchpad, kPage0});
  clock_.Sleep(kCopySettleMs);
  pump_.ProcessMessages();
  if (StrongAccess()) Send({kConvertV});
  if (!PollPage(false)) {
    sens.Hu = kHuNoAnswer;
    return true;
  }
  StoreVoltage();
  // Without the input switch one voltage is an earlier reading's, perhaps
  // another module's: that is no humidity of this module.
  if (!supply_measured_ || !sensor_measured_) return false;
  return ComputeHumidity(Indx);
}

bool HumidityReader::ComputeHumidity(std::int16_t Indx) {
  if (!ValidSlot(Indx)) return false;
  auto& sens = Asens_[static_cast<std::size_t>(Indx)];
  switch (SelectSlot(bus_, sens)) {
    case Selection::kRomRefused:
      sens.Hu = kHuNoRom;
      return true;
    case Selection::kSessionInvalid:
      pump_.ProcessMessages();
      return false;
    case Selection::kNoAnswer:
      sens.Hu = kHuNoAnswer;
      return true;
    case Selection::kSelected:
      break;
  }
  // Arithmetic faults come back as 995 rather than as exceptions.
  sens.Hu = HumidityFromVoltages(Vsens, ADC0_val, Temperature);
  pump_.ProcessMessages();
  return true;
}

}  // namespace orvel::sensors
