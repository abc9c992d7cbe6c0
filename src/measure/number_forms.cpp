#include "measure/number_forms.h"

#include <charconv>
#include <system_error>

#include "core/rounding.h"

namespace orvel::measure {
namespace {

// to_chars ignores the C locale, so the full stop it writes is always the
// one to replace, whatever setlocale the process made.
std::string WithDecimal(const char* begin, const char* end, char decimal) {
  std::string text(begin, end);
  for (char& c : text) {
    if (c == '.') c = decimal;
  }
  return text;
}

// A rounded negative value that became zero prints without its sign.
double NoNegativeZero(double value) { return value == 0.0 ? 0.0 : value; }

}  // namespace

std::string GeneralForm(double value, char decimal) {
  char buf[64];
  const auto result =
      std::to_chars(buf, buf + sizeof buf, NoNegativeZero(value), std::chars_format::general, 15);
  if (result.ec != std::errc()) return {};
  return WithDecimal(buf, result.ptr, decimal);
}

std::string FixedForm(double value, char decimal) {
  char buf[400];  // room for the largest double in fixed notation
  const double rounded = NoNegativeZero(core::RoundHalfEven(value, 2));
  const auto result = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed, 2);
  if (result.ec != std::errc()) return {};
  return WithDecimal(buf, result.ptr, decimal);
}

}  // namespace orvel::measure
