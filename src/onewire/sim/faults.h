#pragma once

#include <cstdint>
#include <optional>
#include <random>

namespace orvel::sim {

// Faults a bus file can inject into a device or an I2C chip.
struct Faults {
  // Bus resets (presence cycles) answered before the device stops answering.
  std::optional<std::uint64_t> absent_after;
  // Counted like absent_after, from the start: the device answers again
  // from this reset on.
  std::optional<std::uint64_t> returns_after;
  // Chance that a byte the device sends after a function command has one bit flipped.
  double crc_error_rate = 0.0;
  std::uint32_t seed = 1;
  bool power_on = false;      // a thermometer that never converts
  bool busy_forever = false;  // conversions or I2C work that never end
  bool nack = false;          // an I2C chip that never acknowledges

  // Whether the device answers the reset with this 0-based number.
  bool AnswersReset(std::uint64_t reset_index) const {
    if (!absent_after || reset_index < *absent_after) return true;
    return returns_after && reset_index >= *returns_after;
  }
};

// Seeded noise for crc_error_rate, so a fault run is repeatable.
class BitNoise {
 public:
  BitNoise(double rate, std::uint32_t seed) : rate_(rate), rng_(seed) {}
  // The byte, possibly with one bit flipped.
  std::uint8_t Apply(std::uint8_t byte) {
    if (rate_ <= 0.0) return byte;
    if (std::uniform_real_distribution<double>(0.0, 1.0)(rng_) >= rate_) return byte;
    const int bit = std::uniform_int_distribution<int>(0, 7)(rng_);
    return static_cast<std::uint8_t>(byte ^ (1U << bit));
  }

 private:
  double rate_;
  std::mt19937 rng_;
};

}  // namespace orvel::sim
