#include "onewire/device_catalog.h"

#include <algorithm>

namespace orvel::onewire {
namespace {

constexpr std::uint8_t kSkipRom = 0xCC;
constexpr std::uint8_t kEnableSleepMode = 0x1E;
constexpr const char* kIdChipStatus = "Адаптер найден  ";

// One half-byte of a ROM text: "A".."F" by letter, anything else as a
// one-character decimal number, which only "0".."9" are.
std::int16_t HalfByte(char c) {
  if (c >= 'A' && c <= 'F') return static_cast<std::int16_t>(c - 'A' + 10);
  if (c >= '0' && c <= '9') return static_cast<std::int16_t>(c - '0');
  throw RomTextError("'" + std::string(1, c) + "' is not a valid integer value");
}

}  // namespace

DeviceCatalog::DeviceCatalog(BusSession& bus, core::TextControl& stat1)
    : bus_(bus), stat1_(stat1) {}

void DeviceCatalog::RegisterDevice(const std::int16_t* rom, int slot) {
  if (rom == nullptr || slot < 0 || slot >= kSlotCount) return;
  CurrentSens& sens = Asens[static_cast<std::size_t>(slot)];
  if (!std::equal(rom, rom + 8, sens.ROM.begin())) sens = CurrentSens{};

  RomCode code{};
  for (std::size_t i = 0; i < code.size(); ++i) {
    sens.ROM[i] = rom[i];
    code[i] = static_cast<std::uint8_t>(rom[i]);
  }
  sens.ROMS = RomText(code);
  sens.Family = 0;
  sens.lastWrLogDateTime = 0.0;  // the journal gate opens again after every scan

  switch (static_cast<std::uint8_t>(rom[0])) {
    case kFamilyDs18s20:
    case kFamilyDs18b20:
    case kFamilyDs2438:
    case kFamilyDs28e17:
      sens.Family = static_cast<std::uint8_t>(rom[0]);
      break;
    case kFamilySerialId:
    case kFamilySerialIdAlt:
      stat1_.SetText(kIdChipStatus + sens.ROMS);
      break;
    default:
      break;
  }
}

void DeviceCatalog::Hex2Rom(const std::string& pHexString) {
  if (pHexString.size() != 16) return;
  auto& rom = bus_.ROM;
  rom.fill(0);
  for (std::size_t j = 1; j <= 8; ++j) {
    auto& element = rom[8 - j];
    element = static_cast<std::int16_t>(HalfByte(pHexString[2 * j - 2]) << 4);
    element = static_cast<std::int16_t>(element | HalfByte(pHexString[2 * j - 1]));
  }
  bus_.tmex.TMRom(bus_.SHandle, bus_.StateBuf.data(), rom.data());
}

void DeviceCatalog::sendAllDevices() {
  Tmex& tmex = bus_.tmex;
  if (tmex.TMValidSession(bus_.SHandle) <= 0) return;
  tmex.TMTouchReset(bus_.SHandle);
  tmex.TMTouchByte(bus_.SHandle, kSkipRom);
  tmex.TMTouchByte(bus_.SHandle, kEnableSleepMode);
}

}  // namespace orvel::onewire
