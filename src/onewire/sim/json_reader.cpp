#include "onewire/sim/json_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace orvel::sim {
namespace {

// "from A to B", numbers as JSON would write them whatever the locale.
std::string RangeText(QuantityRange range) {
  const auto text = [](double d) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed);
    return std::string(buf, r.ptr);
  };
  return "from " + text(range.min) + " to " + text(range.max);
}

// A place whose keys hold control characters (a "\n" in a key) still
// makes one line of the message.
std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::optional<std::int64_t> WholeNumberIn(const nlohmann::json& v, std::int64_t min,
                                          std::int64_t max) {
  if (v.is_number_unsigned()) {
    const std::uint64_t u = v.get<std::uint64_t>();
    if (max < 0 || u > static_cast<std::uint64_t>(max) || static_cast<std::int64_t>(u) < min) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>(u);
  }
  if (v.is_number_integer()) {
    const std::int64_t i = v.get<std::int64_t>();
    if (i < min || i > max) return std::nullopt;
    return i;
  }
  if (!v.is_number_float()) return std::nullopt;
  // 2.0 counts as 2; compare as doubles first so that huge values cannot
  // overflow the conversion.
  const double d = v.get<double>();
  if (!std::isfinite(d) || std::floor(d) != d || d < static_cast<double>(min) ||
      d >= static_cast<double>(max) + 1.0) {
    return std::nullopt;
  }
  const auto i = static_cast<std::int64_t>(d);
  if (i < min || i > max) return std::nullopt;
  return i;
}

JsonObject::JsonObject(const nlohmann::json& value, std::string place, const std::string& file)
    : value_(value), place_(std::move(place)), file_(file) {
  if (!value_.is_object()) {
    throw BusFileError(file_ + ": " + (place_.empty() ? "/" : Printable(place_)) +
                       ": expected an object");
  }
}

bool JsonObject::Has(std::string_view key) const { return value_.contains(key); }

void JsonObject::Fail(std::string_view key, const std::string& problem) const {
  std::string where = place_;
  if (!key.empty()) where.append("/").append(key);
  if (where.empty()) where = "/";
  throw BusFileError(file_ + ": " + Printable(where) + ": " + problem);
}

const nlohmann::json& JsonObject::At(std::string_view key) const {
  return value_.at(std::string(key));
}

double JsonObject::Number(std::string_view key, std::optional<double> fallback) const {
  if (!Has(key)) {
    if (fallback) return *fallback;
    Fail(key, "missing number");
  }
  const auto& v = At(key);
  if (!v.is_number()) Fail(key, "expected a number");
  const double d = v.get<double>();
  if (!std::isfinite(d)) Fail(key, "expected a finite number");
  return d;
}

std::int64_t JsonObject::Integer(std::string_view key, std::int64_t min, std::int64_t max,
                                 std::optional<std::int64_t> fallback) const {
  if (!Has(key)) {
    if (fallback) return *fallback;
    Fail(key, "missing whole number");
  }
  const auto& v = At(key);
  if (!v.is_number()) Fail(key, "expected a whole number");
  const auto i = WholeNumberIn(v, min, max);
  if (!i) {
    Fail(key, "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max));
  }
  return *i;
}

bool JsonObject::Boolean(std::string_view key, std::optional<bool> fallback) const {
  if (!Has(key)) {
    if (fallback) return *fallback;
    Fail(key, "missing true or false");
  }
  const auto& v = At(key);
  if (!v.is_boolean()) Fail(key, "expected true or false");
  return v.get<bool>();
}

std::string JsonObject::String(std::string_view key, std::optional<std::string> fallback) const {
  if (!Has(key)) {
    if (fallback) return *fallback;
    Fail(key, "missing text");
  }
  const auto& v = At(key);
  if (!v.is_string()) Fail(key, "expected a text");
  return v.get<std::string>();
}

SimValue JsonObject::Value(std::string_view key, QuantityRange range,
                           std::optional<double> fallback) const {
  if (!Has(key)) {
    if (fallback) return SimValue::Constant(*fallback);
    Fail(key, "missing value");
  }
  const auto& v = At(key);
  if (v.is_number()) {
    const double d = Number(key);
    if (!(d >= range.min && d <= range.max)) Fail(key, "expected a number " + RangeText(range));
    return SimValue::Constant(d);
  }
  if (!v.is_object()) Fail(key, "expected a number or { \"base\", \"amplitude\", \"period_s\" }");
  const JsonObject o = Object(key);
  o.AllowOnly({"base", "amplitude", "period_s"});
  SimValue s;
  s.base = o.Number("base");
  s.amplitude = o.Number("amplitude", 0.0);
  s.period_s = o.Number("period_s", 600.0);
  if (!(s.period_s >= kPeriodSeconds.min && s.period_s <= kPeriodSeconds.max)) {
    o.Fail("period_s", "expected seconds " + RangeText(kPeriodSeconds));
  }
  const double swing = std::abs(s.amplitude);
  if (!(s.base - swing >= range.min && s.base + swing <= range.max)) {
    Fail(key, "base and amplitude must keep the value " + RangeText(range));
  }
  return s;
}

JsonObject JsonObject::Object(std::string_view key) const {
  if (!Has(key)) Fail(key, "missing object");
  const auto& v = At(key);
  if (!v.is_object()) Fail(key, "expected an object");
  return JsonObject(v, place_ + "/" + std::string(key), file_);
}

Faults JsonObject::ReadFaults() const {
  Faults f;
  if (!Has("faults")) return f;
  const JsonObject o = Object("faults");
  o.AllowOnly({"absent_after", "returns_after", "crc_error_rate", "seed", "power_on",
               "busy_forever", "nack"});
  if (o.Has("absent_after")) {
    f.absent_after = static_cast<std::uint64_t>(o.Integer("absent_after", 0, INT64_MAX));
  }
  if (o.Has("returns_after")) {
    if (!f.absent_after) o.Fail("returns_after", "needs absent_after");
    f.returns_after = static_cast<std::uint64_t>(o.Integer("returns_after", 0, INT64_MAX));
    if (*f.returns_after <= *f.absent_after) {
      o.Fail("returns_after", "must be above absent_after");
    }
  }
  f.crc_error_rate = o.Number("crc_error_rate", 0.0);
  if (f.crc_error_rate < 0.0 || f.crc_error_rate > 1.0) {
    o.Fail("crc_error_rate", "expected a number from 0 to 1");
  }
  f.seed = static_cast<std::uint32_t>(o.Integer("seed", 0, UINT32_MAX, 1));
  f.power_on = o.Boolean("power_on", false);
  f.busy_forever = o.Boolean("busy_forever", false);
  f.nack = o.Boolean("nack", false);
  return f;
}

void JsonObject::AllowOnly(std::initializer_list<std::string_view> known) const {
  for (auto it = value_.begin(); it != value_.end(); ++it) {
    if (std::find(known.begin(), known.end(), it.key()) == known.end()) {
      Fail(it.key(), "unknown setting");
    }
  }
}

}  // namespace orvel::sim
