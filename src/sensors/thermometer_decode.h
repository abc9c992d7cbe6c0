#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace orvel::sensors {

// The nine scratchpad bytes of a 0x10 or 0x28 thermometer as they come off
// the bus: temperature low/high, TH, TL, configuration (0x28) or reserved,
// reserved, COUNT_REMAIN, COUNT_PER_C (0x10) or reserved, CRC.
using Scratchpad = std::array<std::uint8_t, 9>;

// Why a CRC-intact scratchpad cannot give a temperature.
enum class ScratchpadContent {
  kUsable,
  kPowerOn,        // the device has not converted since it was powered
  kNoCountPerC,    // 0x10 with COUNT_PER_C 0: the fine formula would divide by it
  kUnknownConfig,  // 0x28 configuration with bit 7 set: no resolution of that code
  kOutOfRange,     // outside the chips' -55..+125 C: a corruption the CRC-8 missed
  kUnknownFamily,
};

// Power-on content: 0x10 shows AA 00 (+85 C at 9 bits) with 0C 10 in bytes
// 6 and 7; a 0x28 shows 50 05 (+85 C at 12 bits) with the same 0C 10.
// Each family is tested against its own pattern, so a genuine 0x28 reading
// of +10.625 C (AA 00) is not mistaken for power-on content.
bool IsPowerOnContent(std::uint8_t family, const Scratchpad& pad);

// Everything but the CRC, which the reader checks through the driver.
ScratchpadContent CheckContent(std::uint8_t family, const Scratchpad& pad);

// A COUNT_PER_C − COUNT_REMAIN difference of exactly 1 marks a value taken
// at the edge of a count, which a second conversion must confirm.
bool NeedsConfirmation(const Scratchpad& pad);

// Degrees C of a scratchpad whose content is usable; nullopt otherwise.
// 0x10: the extended-resolution value, rounded to three decimals (halves to
// even). 0x28: the word masked to the configured resolution, exact.
std::optional<double> DecodeTemperature(std::uint8_t family, const Scratchpad& pad);

// TH / TL alarm bytes as signed 8-bit numbers.
double AlarmByteValue(std::uint8_t byte);

// Resolution in bits (9..12) of a 0x28 configuration byte; nullopt when bit 7 is set.
std::optional<int> Ds18b20Resolution(std::uint8_t config);

// What a CRC-intact scratchpad of one conversion allows.
enum class PadVerdict {
  kAccept,   // a temperature
  kConfirm,  // a value at the edge of a count: a second conversion must confirm it
  kPowerOn,  // the conversion did not happen (no power, or reset since)
  kRefuse,   // no temperature can come of it
};
PadVerdict JudgeScratchpad(std::uint8_t family, const Scratchpad& pad);

// The datasheet's longest conversion time in ms: 750 for 0x10 and for an
// unknown resolution, 93.75 ms doubled per bit above 9 for a 0x28.
std::uint32_t ConversionMillis(std::uint8_t family, std::optional<std::uint8_t> config);

}  // namespace orvel::sensors
