#pragma once

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "onewire/sim/faults.h"
#include "onewire/sim/sim_value.h"

namespace orvel::sim {

// A bus file that cannot be used: the message names the file, the place
// (a JSON pointer such as /devices/2/temperature) and the problem.
class BusFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The span a quantity of a simulated device may take: a constant, or a
// sine's base plus and minus its amplitude, stays inside it, so the models
// never meet an infinite or NaN value.
struct QuantityRange {
  double min;
  double max;
};
inline constexpr QuantityRange kCelsius{-273.15, 1000.0};
inline constexpr QuantityRange kPercentRh{0.0, 100.0};
inline constexpr QuantityRange kVolts{-100.0, 100.0};
inline constexpr QuantityRange kPascal{0.0, 10e6};
// A sine's period in seconds.
inline constexpr QuantityRange kPeriodSeconds{0.001, 1e9};

// v as a whole number within [min, max]; nothing for any other value.
std::optional<std::int64_t> WholeNumberIn(const nlohmann::json& v, std::int64_t min,
                                          std::int64_t max);

// One JSON object of the bus file with its place, for typed reads whose
// errors say where they are. Unknown keys are refused, so a misspelt
// setting does not pass silently.
class JsonObject {
 public:
  JsonObject(const nlohmann::json& value, std::string place, const std::string& file);

  const std::string& place() const { return place_; }
  bool Has(std::string_view key) const;

  double Number(std::string_view key, std::optional<double> fallback = std::nullopt) const;
  // Must be a whole number within [min, max].
  std::int64_t Integer(std::string_view key, std::int64_t min, std::int64_t max,
                       std::optional<std::int64_t> fallback = std::nullopt) const;
  bool Boolean(std::string_view key, std::optional<bool> fallback = std::nullopt) const;
  std::string String(std::string_view key,
                     std::optional<std::string> fallback = std::nullopt) const;
  // A number, or { "base", "amplitude", "period_s" }, within `range`.
  SimValue Value(std::string_view key, QuantityRange range,
                 std::optional<double> fallback = std::nullopt) const;
  // The nested object under key (must be an object).
  JsonObject Object(std::string_view key) const;
  // The "faults" object, if any.
  Faults ReadFaults() const;

  // Refuses any key not in `known`.
  void AllowOnly(std::initializer_list<std::string_view> known) const;

  [[noreturn]] void Fail(std::string_view key, const std::string& problem) const;

  const nlohmann::json& json() const { return value_; }
  const std::string& file() const { return file_; }

 private:
  const nlohmann::json& At(std::string_view key) const;

  const nlohmann::json& value_;
  std::string place_;
  std::string file_;
};

}  // namespace orvel::sim
