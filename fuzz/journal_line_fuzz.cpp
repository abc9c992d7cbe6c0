// The journal's number forms and its line: any reading at any time and with
// any of the usual separators gives one whole line of the journal format,
// and the forms read back as the value they stand for.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <utility>

#include "core/virtual_clock.h"
#include "measure/fakes.h"
#include "measure/journal.h"
#include "measure/number_forms.h"
#include "support/fake_platform.h"

namespace {

// The form read back with its decimal sign made a full stop again.
double ReadBack(std::string text, char decimal) {
  for (char& c : text) {
    if (c == decimal) c = '.';
  }
  return std::strtod(text.c_str(), nullptr);
}

// -?[0-9]+ then the decimal sign and two digits.
bool FixedShape(const std::string& text, char decimal) {
  const std::size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
  if (text.size() < start + 4 || text[text.size() - 3] != decimal) return false;
  for (std::size_t i = start; i < text.size(); ++i) {
    if (i != text.size() - 3 && (text[i] < '0' || text[i] > '9')) return false;
  }
  return true;
}

std::string Quoted(char c) { return c == '.' ? "\\." : std::string(1, c); }

void Check(bool ok, int line = __builtin_LINE()) {
  if (ok) return;
  std::fprintf(stderr, "journal_line_fuzz.cpp:%d: check failed\n", line);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvel;
  FuzzedDataProvider in(data, size);
  static constexpr char kDecimals[] = {',', '.'};
  static constexpr char kSigns[] = {',', '.', '/', ':', '-', ' '};
  core::LocaleSeparators separators;
  separators.decimal = in.PickValueInArray(kDecimals);
  separators.date = in.PickValueInArray(kSigns);
  separators.time = in.PickValueInArray(kSigns);
  // From 1900 to 9999, the years a stamp has four digits for.
  const double day = in.ConsumeFloatingPointInRange<double>(2.0, 2958465.0);
  const double value = in.ConsumeFloatingPoint<double>();
  if (!std::isfinite(value)) return 0;  // readings are finite numbers

  const char dec = separators.decimal;
  const std::string general = measure::GeneralForm(value, dec);
  Check(!general.empty() && (dec == '.' || general.find('.') == std::string::npos));
  // Fifteen digits of a value within a hair of the largest double round up
  // past it and read back as infinity.
  if (std::fabs(value) < 1e308) {
    Check(std::fabs(ReadBack(general, dec) - value) <= std::fabs(value) * 1e-14);
  }

  const std::string fixed = measure::FixedForm(value, dec);
  Check(FixedShape(fixed, dec));
  Check(fixed.rfind("-0" + std::string(1, dec) + "00", 0) != 0);
  Check(std::fabs(ReadBack(fixed, dec) - value) <= 0.005 + std::fabs(value) * 1e-14);

  core::VirtualClock clock(day);
  onewire::DeviceTable table{};
  table[7].ROMS = "7F0000012A3B4C28";
  const core::StartupSettings settings{true, "/j", 5};
  testing_support::FakeDialogs dialogs;
  measure::testing::FakeJournalFiles files;
  measure::Journal journal(table, settings, clock, dialogs, separators, files);
  journal.WriteJournal(7, "T", true, value);
  journal.WriteJournal(7, "T", true, value);  // the gate holds a second line back
  Check(dialogs.notices.empty() && files.files.size() == 1);
  const std::string& text = files.files.begin()->second;
  // The stamp, then the fixed form exactly.
  const std::string d = Quoted(separators.date);
  const std::string t = Quoted(separators.time);
  static std::map<std::pair<char, char>, std::regex> stamps;
  auto [it, added] = stamps.try_emplace({separators.date, separators.time});
  if (added) {
    it->second = std::regex("[0-9]{4}" + d + "(0[1-9]|1[0-2])" + d + "(0[1-9]|[12][0-9]|3[01]) " +
                            "([01][0-9]|2[0-3])" + t + "[0-5][0-9]" + t + "[0-5][0-9]");
  }
  Check(text.size() > 19 && std::regex_match(text.substr(0, 19), it->second));
  Check(text.substr(19) == " ; " + fixed + "\r\n");
  return 0;
}
