#include "history/journal_line.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "core/date_time.h"

namespace orvel::history {
namespace {

bool Digits(std::string_view s, std::size_t at, std::size_t n, int& out) {
  out = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    const char c = s[i];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

bool IsSeparator(char c) { return c != ' ' && (c < '0' || c > '9'); }

// "-12,34", "5.00", "998,00": digits, one separator that is not a digit,
// digits; the sign only in front.
std::optional<double> ParseValue(std::string_view text) {
  char buf[64];
  if (text.empty() || text.size() >= sizeof buf) return std::nullopt;
  std::size_t i = 0;
  if (text[0] == '-') buf[i++] = '-';
  std::size_t intDigits = 0, fracDigits = 0;
  bool separator = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      (separator ? fracDigits : intDigits) += 1;
      buf[i] = c;
    } else if ((c == ',' || c == '.') && !separator) {
      separator = true;
      buf[i] = '.';
    } else {
      return std::nullopt;
    }
  }
  if (intDigits == 0 || (separator && fracDigits == 0)) return std::nullopt;
  double value = 0.0;
  const auto r = std::from_chars(buf, buf + text.size(), value);
  if (r.ec != std::errc() || r.ptr != buf + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<JournalLine> ParseJournalLine(std::string_view line) {
  // 0123456789012345678
  // 2026.12.07 15:23:44 ; 23,40
  constexpr std::size_t kStamp = 19;
  if (line.size() < kStamp + 4) return std::nullopt;
  int year, month, day, hour, minute, second;
  if (!Digits(line, 0, 4, year) || !IsSeparator(line[4]) || !Digits(line, 5, 2, month) ||
      !IsSeparator(line[7]) || !Digits(line, 8, 2, day) || line[10] != ' ' ||
      !Digits(line, 11, 2, hour) || !IsSeparator(line[13]) || !Digits(line, 14, 2, minute) ||
      !IsSeparator(line[16]) || !Digits(line, 17, 2, second)) {
    return std::nullopt;
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  if (line.substr(kStamp, 3) != " ; ") return std::nullopt;
  const auto value = ParseValue(line.substr(kStamp + 3));
  if (!value) return std::nullopt;
  JournalLine out;
  core::CivilTime c;
  c.year = year;
  c.month = month;
  c.day = day;
  c.hour = hour;
  c.minute = minute;
  c.second = second;
  out.secs = core::SecsOf(core::EncodeDateTime(c));
  out.value = *value;
  return out;
}

}  // namespace orvel::history
