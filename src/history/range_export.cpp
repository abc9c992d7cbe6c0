#include "history/range_export.h"

#include <cstdio>

#include "core/date_time.h"
#include "measure/number_forms.h"

namespace orvel::history {
namespace {

// A name with the separator, a quote or a line end goes in quotes.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(";\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

}  // namespace

std::string SecsText(std::int64_t secs) {
  const core::CivilTime c = core::DecodeDateTime(core::FromSecs(secs));
  char buf[48];
  const int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month,
                              c.day, c.hour, c.minute, c.second);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

void WriteRangeCsv(std::ostream& out, const std::vector<NamedRange>& ranges) {
  out << "датчик;время;значение;единица\r\n";
  for (const NamedRange& r : ranges) {
    for (const Sample& s : r.samples) {
      out << CsvField(r.sensor) << ';' << SecsText(s.secs) << ';';
      if (s.gap) {
        out << ";сбой\r\n";
      } else {
        out << measure::FixedForm(s.value, '.') << ';' << r.unit << "\r\n";
      }
    }
  }
}

}  // namespace orvel::history
