#include "core/date_time.h"

#include <cmath>

namespace orvel::core {
namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

}  // namespace

std::int64_t SecsOf(DateTime t) {
  return static_cast<std::int64_t>(std::nearbyint((t - kUnixEpochDays) * kSecondsPerDay));
}

DateTime FromSecs(std::int64_t secs) {
  return static_cast<double>(secs) / kSecondsPerDay + kUnixEpochDays;
}

DateTime AddSeconds(DateTime t, double seconds) { return t + seconds / kSecondsPerDay; }

CivilTime DecodeDateTime(DateTime t) {
  // Work in whole milliseconds so that 23:59:59.9996 does not print as 24:00:00.
  const auto ms = static_cast<std::int64_t>(
      std::floor((t - kUnixEpochDays) * kSecondsPerDay * 1000.0 + 0.5));
  std::int64_t days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
  std::int64_t rest = ms - days * 86400000;
  CivilTime c;
  CivilFromDays(days, c.year, c.month, c.day);
  c.hour = static_cast<int>(rest / 3600000);
  rest %= 3600000;
  c.minute = static_cast<int>(rest / 60000);
  rest %= 60000;
  c.second = static_cast<int>(rest / 1000);
  c.millisecond = static_cast<int>(rest % 1000);
  return c;
}

DateTime EncodeDateTime(const CivilTime& c) {
  const std::int64_t days = DaysFromCivil(c.year, static_cast<unsigned>(c.month),
                                          static_cast<unsigned>(c.day));
  const double secs = static_cast<double>(days) * kSecondsPerDay + c.hour * 3600.0 +
                      c.minute * 60.0 + c.second + c.millisecond / 1000.0;
  return secs / kSecondsPerDay + kUnixEpochDays;
}

}  // namespace orvel::core
