#include "publish/utc_time.h"

#include <gtest/gtest.h>

#include "time_zone.h"

namespace orvel::publish {
namespace {

using testing::TimeZone;

core::DateTime Local(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  return core::EncodeDateTime({y, mo, d, h, mi, s, ms});
}

// POSIX rules, so that the test needs no time zone database.
constexpr const char* kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr const char* kNewYork = "EST5EDT,M3.2.0/2,M11.1.0/2";

TEST(UtcTime, LocalTimesOfOneZoneAfterAnother) {
  struct Case {
    const char* tz;
    core::DateTime local;
    const char* utc;
  };
  const Case cases[] = {
      {"UTC0", Local(2026, 12, 8, 22, 43, 58, 123), "2026-12-08T22:43:58.123Z"},
      {kBerlin, Local(2026, 1, 15, 12, 0, 0, 250), "2026-01-15T11:00:00.250Z"},
      {kBerlin, Local(2026, 7, 15, 12, 0, 0), "2026-07-15T10:00:00.000Z"},
      {kBerlin, Local(2026, 1, 1, 0, 30, 0), "2025-12-31T23:30:00.000Z"},
      {kBerlin, Local(2024, 2, 29, 0, 59, 59, 999), "2024-02-28T23:59:59.999Z"},
      // Just before and after clocks go forward (02:00 CET becomes 03:00 CEST).
      {kBerlin, Local(2026, 3, 29, 1, 59, 59), "2026-03-29T00:59:59.000Z"},
      {kBerlin, Local(2026, 3, 29, 3, 0, 0), "2026-03-29T01:00:00.000Z"},
      {kNewYork, Local(2026, 6, 1, 20, 0, 0), "2026-06-02T00:00:00.000Z"},
      {kNewYork, Local(2026, 12, 31, 19, 0, 0, 1), "2027-01-01T00:00:00.001Z"},
      {"<+0530>-5:30", Local(2026, 5, 5, 5, 30, 0), "2026-05-05T00:00:00.000Z"},
  };
  for (const Case& c : cases) {
    TimeZone zone(c.tz);
    UtcConverter utc;
    EXPECT_EQ(IsoUtc(utc.ToUtcMillis(c.local)), c.utc) << c.tz << " " << c.utc;
  }
}

// The hour from 02:00 to 03:00 comes twice on the day clocks go back: a
// logger reading through it must not send its second pass an hour early.
TEST(UtcTime, TheRepeatedHourInTheOrderOfTheReadings) {
  TimeZone zone(kBerlin);
  UtcConverter utc;
  const std::pair<core::DateTime, const char*> readings[] = {
      {Local(2026, 10, 25, 1, 50, 0), "2026-10-24T23:50:00.000Z"},
      {Local(2026, 10, 25, 2, 10, 0), "2026-10-25T00:10:00.000Z"},
      {Local(2026, 10, 25, 2, 40, 0), "2026-10-25T00:40:00.000Z"},
      {Local(2026, 10, 25, 2, 39, 59), "2026-10-25T00:39:59.000Z"},  // a little out of order
      {Local(2026, 10, 25, 2, 59, 30), "2026-10-25T00:59:30.000Z"},
      {Local(2026, 10, 25, 2, 0, 0), "2026-10-25T01:00:00.000Z"},  // clocks went back
      {Local(2026, 10, 25, 2, 30, 0), "2026-10-25T01:30:00.000Z"},
      {Local(2026, 10, 25, 3, 0, 0), "2026-10-25T02:00:00.000Z"},
  };
  for (const auto& [local, expected] : readings) {
    EXPECT_EQ(IsoUtc(utc.ToUtcMillis(local)), expected);
  }
}

TEST(UtcTime, IsoFormOfMillisecondCounts) {
  EXPECT_EQ(IsoUtc(0), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(IsoUtc(-1), "1969-12-31T23:59:59.999Z");
  EXPECT_EQ(IsoUtc(1798757038123), "2026-12-31T22:43:58.123Z");
}

}  // namespace
}  // namespace orvel::publish
