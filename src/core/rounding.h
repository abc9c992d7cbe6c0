#pragma once

#include <cmath>

namespace orvel::core {

// Multiply by 10^decimals, round to the nearest integer with halves to the
// even one, divide back: the rounding every reading and display uses.
inline double RoundHalfEven(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  const double scaled = value * scale;
  // Too large to scale: far beyond 2^53, so it has no fraction to round.
  if (!std::isfinite(scaled)) return value;
  return std::nearbyint(scaled) / scale;
}

// Nearest integer, halves to even (assumes the default rounding mode).
inline double RoundHalfEven(double value) { return std::nearbyint(value); }

}  // namespace orvel::core
