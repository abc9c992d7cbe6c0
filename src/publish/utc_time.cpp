#include "publish/utc_time.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace orvel::publish {
namespace {

// How far back of the last time the earlier meaning of a repeated local
// time may lie: readings of one poll are not quite in order, an hour is.
constexpr std::int64_t kOrderSlackMillis = 15 * 60 * 1000;

bool SameCivil(const std::tm& a, const std::tm& b) {
  return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday &&
         a.tm_hour == b.tm_hour && a.tm_min == b.tm_min && a.tm_sec == b.tm_sec;
}

}  // namespace

std::int64_t UtcConverter::ToUtcMillis(core::DateTime local) {
  const core::CivilTime c = core::DecodeDateTime(local);
  std::tm want{};
  want.tm_year = c.year - 1900;
  want.tm_mon = c.month - 1;
  want.tm_mday = c.day;
  want.tm_hour = c.hour;
  want.tm_min = c.minute;
  want.tm_sec = c.second;
  std::tm copy = want;
  // The local time read as if it were UTC.
  const std::int64_t civil = static_cast<std::int64_t>(timegm(&copy));
  const std::int64_t quarter = civil >= 0 ? civil / 900 : (civil - 899) / 900;

  if (quarter != quarter_) {
    // Both meanings, standard and summer time; keep those that read back
    // as the same local time.
    offsetCount_ = 0;
    for (const int dst : {0, 1}) {
      std::tm guess = want;
      guess.tm_isdst = dst;
      const std::time_t t = std::mktime(&guess);
      std::tm back{};
      if (t == static_cast<std::time_t>(-1) || localtime_r(&t, &back) == nullptr ||
          !SameCivil(back, want)) {
        continue;
      }
      const std::int64_t offset = civil - static_cast<std::int64_t>(t);
      if (offsetCount_ == 0 || offsets_[0] != offset) offsets_[offsetCount_++] = offset;
    }
    if (offsetCount_ == 0) {
      // A local time skipped when clocks go forward: as the system reads it.
      std::tm guess = want;
      guess.tm_isdst = -1;
      offsets_[offsetCount_++] = civil - static_cast<std::int64_t>(std::mktime(&guess));
    }
    quarter_ = quarter;
  }

  std::int64_t secs = civil - offsets_[0];
  if (offsetCount_ == 2) {
    const std::int64_t early = civil - std::max(offsets_[0], offsets_[1]);
    const std::int64_t late = civil - std::min(offsets_[0], offsets_[1]);
    secs = (last_ != INT64_MIN && early * 1000 + c.millisecond < last_ - kOrderSlackMillis) ? late
                                                                                            : early;
  }
  const std::int64_t ms = secs * 1000 + c.millisecond;
  last_ = ms;
  return ms;
}

std::string IsoUtc(std::int64_t utcMillis) {
  std::int64_t secs = utcMillis / 1000;
  std::int64_t ms = utcMillis % 1000;
  if (ms < 0) {
    ms += 1000;
    --secs;
  }
  const auto t = static_cast<std::time_t>(secs);
  std::tm u{};
  gmtime_r(&t, &u);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", u.tm_year + 1900,
                u.tm_mon + 1, u.tm_mday, u.tm_hour, u.tm_min, u.tm_sec, static_cast<int>(ms));
  return text;
}

}  // namespace orvel::publish
