#pragma once

#include <cstdint>

namespace orvel::sensors {

// The factory calibration words T1..P9 (T1 and P1 unsigned).
struct Bmp280Calibration {
  std::uint16_t T1 = 0;
  std::int16_t T2 = 0, T3 = 0;
  std::uint16_t P1 = 0;
  std::int16_t P2 = 0, P3 = 0, P4 = 0, P5 = 0, P6 = 0, P7 = 0, P8 = 0, P9 = 0;
};

// Unsigned 20-bit raw readings.
struct Bmp280Raw {
  std::int32_t pressure = 0;
  std::int32_t temperature = 0;
};

struct Bmp280Values {
  double temperature_c = 0.0;  // unrounded
  std::int32_t fine = 0;       // the fine temperature the pressure formula uses
  double pressure_pa = 0.0;    // unrounded; 0.0 when the calibration gives no pressure
  bool has_pressure = false;
  double stored_temperature = 0.0;   // degrees C to 2 decimals
  double stored_pressure_kpa = 0.0;  // kPa to 2 decimals, 0.0 without a pressure
};

// The 24 bytes read from 0x88, twelve words low byte first.
Bmp280Calibration ParseCalibration(const std::uint8_t* bytes);
// The 6 bytes read from 0xF7: pressure then temperature, 20 bits each.
Bmp280Raw ParseRawData(const std::uint8_t* bytes);
// The chip's double-precision compensation, with the fine temperature
// rounded half to even.
Bmp280Values Compensate(const Bmp280Calibration& cal, const Bmp280Raw& raw);

}  // namespace orvel::sensors
