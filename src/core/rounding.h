#pragma once

#include <cmath>

namespace orvel::core {

// Multiply by 10^decimals, round to the nearest integer with halves to the
// even one, divide back: the rounding every reading and display uses.
inline double RoundHalfEven(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::nearbyint(value * scale) / scale;
}

// Nearest integer, halves to even (assumes the default rounding mode).
inline double RoundHalfEven(double value) { return std::nearbyint(value); }

}  // namespace orvel::core
