#include "sensors/thermometer_decode.h"

#include "core/rounding.h"
#include "onewire/rom_code.h"

namespace orvel::sensors {
namespace {

constexpr std::uint8_t kPowerOnCountRemain = 0x0C;
constexpr std::uint8_t kPowerOnCountPerC = 0x10;
// The measuring range of both families.
constexpr int kMinCelsius = -55;
constexpr int kMaxCelsius = 125;

std::int16_t Word(const Scratchpad& pad) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(pad[1] << 8 | pad[0]));
}

}  // namespace

bool IsPowerOnContent(std::uint8_t family, const Scratchpad& pad) {
  if (pad[6] != kPowerOnCountRemain || pad[7] != kPowerOnCountPerC) return false;
  switch (family) {
    case onewire::kFamilyDs18s20:
      return pad[0] == 0xAA && pad[1] == 0x00;
    case onewire::kFamilyDs18b20:
      return pad[0] == 0x50 && pad[1] == 0x05;
    default:
      return false;
  }
}

std::optional<int> Ds18b20Resolution(std::uint8_t config) {
  const int code = config >> 5;
  if (code > 3) return std::nullopt;
  return 9 + code;
}

ScratchpadContent CheckContent(std::uint8_t family, const Scratchpad& pad) {
  if (family != onewire::kFamilyDs18s20 && family != onewire::kFamilyDs18b20) {
    return ScratchpadContent::kUnknownFamily;
  }
  if (IsPowerOnContent(family, pad)) return ScratchpadContent::kPowerOn;
  if (family == onewire::kFamilyDs18s20 && pad[7] == 0) return ScratchpadContent::kNoCountPerC;
  if (family == onewire::kFamilyDs18b20 && !Ds18b20Resolution(pad[4])) {
    return ScratchpadContent::kUnknownConfig;
  }
  // Whole degrees of the register word (0x10 counts halves, 0x28
  // sixteenths), so undefined bits below the resolution cannot push it out.
  const int degrees = Word(pad) >> (family == onewire::kFamilyDs18s20 ? 1 : 4);
  if (degrees < kMinCelsius || degrees > kMaxCelsius) {
    return ScratchpadContent::kOutOfRange;
  }
  return ScratchpadContent::kUsable;
}

bool NeedsConfirmation(const Scratchpad& pad) { return int{pad[7]} - int{pad[6]} == 1; }

std::optional<double> DecodeTemperature(std::uint8_t family, const Scratchpad& pad) {
  if (CheckContent(family, pad) != ScratchpadContent::kUsable) return std::nullopt;
  if (family == onewire::kFamilyDs18s20) {
    // Bit 0 (the half degree) is replaced by the count-based fraction.
    const auto halves = static_cast<std::int16_t>(Word(pad) & ~1);
    const double temp_read = halves / 2.0;
    const double count_per_c = pad[7];
    const double count_remain = pad[6];
    const double value = temp_read - 0.25 + (count_per_c - count_remain) / count_per_c;
    return core::RoundHalfEven(value, 3);
  }
  // Bits below the resolution are undefined on the chip.
  static constexpr std::array<std::uint16_t, 4> kMasks{0xFFF8, 0xFFFC, 0xFFFE, 0xFFFF};
  const int bits = *Ds18b20Resolution(pad[4]);
  const auto word = static_cast<std::uint16_t>(Word(pad));
  const auto masked = static_cast<std::int16_t>(word & kMasks[static_cast<std::size_t>(bits - 9)]);
  return masked * 0.0625;
}

PadVerdict JudgeScratchpad(std::uint8_t family, const Scratchpad& pad) {
  switch (CheckContent(family, pad)) {
    case ScratchpadContent::kUsable:
      return NeedsConfirmation(pad) ? PadVerdict::kConfirm : PadVerdict::kAccept;
    case ScratchpadContent::kPowerOn:
      return PadVerdict::kPowerOn;
    default:
      return PadVerdict::kRefuse;
  }
}

std::uint32_t ConversionMillis(std::uint8_t family, std::optional<std::uint8_t> config) {
  constexpr std::uint32_t kLongest = 750;
  if (family != onewire::kFamilyDs18b20 || !config) return kLongest;
  const auto bits = Ds18b20Resolution(*config);
  // 93.75 ms at 9 bits, rounded up.
  return bits ? (9375U << (*bits - 9)) / 100 + ((9375U << (*bits - 9)) % 100 != 0) : kLongest;
}

double AlarmByteValue(std::uint8_t byte) { return static_cast<std::int8_t>(byte); }

}  // namespace orvel::sensors
