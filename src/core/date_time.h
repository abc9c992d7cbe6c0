#pragma once

#include <cstdint>

namespace orvel::core {

// Local date and time as days since 30 December 1899, the form the poll
// deadline and the journal gate are kept in (0 lies before any real time).
using DateTime = double;

inline constexpr DateTime kUnixEpochDays = 25569.0;
inline constexpr double kSecondsPerDay = 86400.0;

struct CivilTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Whole seconds since 1 January 1970 (local), rounded half to even.
std::int64_t SecsOf(DateTime t);
// The date-time of a whole number of seconds since 1 January 1970 (local).
DateTime FromSecs(std::int64_t secs);
DateTime AddSeconds(DateTime t, double seconds);

CivilTime DecodeDateTime(DateTime t);
DateTime EncodeDateTime(const CivilTime& c);

}  // namespace orvel::core
