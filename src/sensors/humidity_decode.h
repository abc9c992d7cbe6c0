#pragma once

#include <array>
#include <cstdint>

namespace orvel::sensors {

// Page 0 of the humidity module as read from its scratchpad: status and
// configuration, temperature low/high, voltage low/high, three other
// registers, CRC.
using HumidityPage = std::array<std::uint8_t, 9>;

// Fault codes that stand in Hu instead of a humidity.
inline constexpr double kHuArithmeticFault = 995.0;
inline constexpr double kHuNoAnswer = 996.0;
inline constexpr double kHuNoRom = 997.0;
inline constexpr double kHuLowSupply = 998.0;
inline constexpr double kHuAboveRange = 999.0;
inline constexpr double kHuBelowRange = 0.0;

// Status and configuration bits of byte 0.
inline constexpr std::uint8_t kSupplyInputBit = 0x08;  // 1: supply input, 0: sensor input
inline constexpr std::uint8_t kBusyMask = 0x50;        // temperature or voltage conversion running
inline constexpr std::uint8_t kConfigSensorNext = 0x07;
inline constexpr std::uint8_t kConfigSupplyNext = 0x0F;

// Degrees C of the 13-bit temperature register, rounded to 0.01 (halves to even).
double PageTemperature(const HumidityPage& page);
// Volts of the voltage register (10 mV steps).
double PageVoltage(const HumidityPage& page);
bool PageBusy(const HumidityPage& page);
bool SupplyInputSelected(const HumidityPage& page);
// The configuration that selects the other input next.
std::uint8_t SwitchedInputConfig(const HumidityPage& page);

// Relative humidity from the two voltages and the module temperature, or
// the fault code that stands for it: 998 for a supply below 4.0 V, 0 below
// 0 %, 999 above 100 %, 995 when the arithmetic gives no finite number.
// One decimal, halves to even.
double HumidityFromVoltages(double vsens, double adc0_val, double temperature);

}  // namespace orvel::sensors
