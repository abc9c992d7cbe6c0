#pragma once

#include <cmath>
#include <numbers>

#include "onewire/sim/sim_time.h"

namespace orvel::sim {

// A physical quantity of a simulated device: a constant, or a slow sine in
// bus time so that a demo looks alive.
struct SimValue {
  double base = 0.0;
  double amplitude = 0.0;
  double period_s = 0.0;

  static SimValue Constant(double v) { return SimValue{v, 0.0, 0.0}; }

  double At(SimTime now) const {
    if (amplitude == 0.0 || period_s <= 0.0) return base;
    const double t = static_cast<double>(now) / 1e6;
    return base + amplitude * std::sin(2.0 * std::numbers::pi * t / period_s);
  }
};

}  // namespace orvel::sim
