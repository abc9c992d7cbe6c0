#pragma once

#include <cstdint>

#include "sensors/bmp280_compensation.h"

namespace orvel::sim {

// The chip maker's integer compensation (32-bit temperature, 64-bit
// pressure), used by the model to turn a wanted temperature and pressure
// into raw readings. It is independent of the program's double-precision
// path, so a round trip through both checks one against the other.

// The fine temperature; degrees C are fine * 5 + 128 >> 8 in hundredths.
std::int32_t FineTemperature(const sensors::Bmp280Calibration& cal, std::int32_t adc_t);
// Pressure in Pa as Q24.8; 0 when the calibration gives none.
std::uint32_t PressureQ24_8(const sensors::Bmp280Calibration& cal, std::int32_t adc_p,
                            std::int32_t fine);

// The 20-bit raw temperature whose fine temperature comes closest to
// celsius * 5120.
std::int32_t RawTemperatureFor(const sensors::Bmp280Calibration& cal, double celsius);
// The 20-bit raw pressure that comes closest to pascal at that fine temperature.
std::int32_t RawPressureFor(const sensors::Bmp280Calibration& cal, double pascal,
                            std::int32_t fine);

// The calibration of the maker's worked example.
sensors::Bmp280Calibration DatasheetCalibration();

}  // namespace orvel::sim
