// The separators taken from a locale, built with localedef into a
// temporary folder and made this thread's locale.
#include <gtest/gtest.h>
#include <locale.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/date_time.h"
#include "core/platform.h"
#include "measure/number_forms.h"
#include "measure/time_stamp.h"

// glibc's newlocale never frees the search path it builds from LOCPATH; the
// leak checker of the sanitizer build is told so, and nothing else.
extern "C" const char* __lsan_default_suppressions() { return "leak:argz_add_sep\n"; }

namespace orvel::core {
namespace {

namespace fs = std::filesystem;

struct LocaleCase {
  const char* name;  // a source in /usr/share/i18n/locales, or "C"
  char decimal;
  char date;
  char time;
};
void PrintTo(const LocaleCase& c, std::ostream* os) { *os << c.name; }

class LocaleSeparatorsTest : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleSeparatorsTest, AreSingleAsciiCharacters) {
  const LocaleCase& c = GetParam();
  const fs::path dir = fs::temp_directory_path() / ("orvel-locales-" + std::to_string(::getpid()));
  const std::string name = std::string(c.name) + (c.name == std::string("C") ? "" : ".UTF-8");
  if (name != "C") {
    fs::create_directories(dir);
    const std::string build = "localedef -i " + std::string(c.name) + " -f UTF-8 " +
                              (dir / name).string() + " >/dev/null 2>&1";
    if (std::system(build.c_str()) != 0) {
      fs::remove_all(dir);
      GTEST_SKIP() << "cannot build the " << c.name << " locale";
    }
    setenv("LOCPATH", dir.c_str(), 1);
  }
  const locale_t made = newlocale(LC_ALL_MASK, name.c_str(), nullptr);
  unsetenv("LOCPATH");
  fs::remove_all(dir);
  ASSERT_NE(made, nullptr) << name;
  const locale_t before = uselocale(made);
  const LocaleSeparators s = ProcessLocaleSeparators();
  uselocale(before);
  freelocale(made);

  EXPECT_EQ(s.decimal, c.decimal);
  EXPECT_EQ(s.date, c.date);
  EXPECT_EQ(s.time, c.time);
  // What the journal writes with them: ASCII only.
  const std::string line = measure::JournalStamp(EncodeDateTime({2026, 12, 7, 15, 23, 44, 0}), s) +
                           " ; " + measure::FixedForm(23.4, s.decimal);
  for (const char ch : line) EXPECT_LT(static_cast<unsigned char>(ch), 0x80) << line;
}

INSTANTIATE_TEST_SUITE_P(Locales, LocaleSeparatorsTest,
                         ::testing::Values(LocaleCase{"C", '.', '/', ':'},
                                           // U+066B as decimal sign, no ASCII date separator.
                                           LocaleCase{"ps_AF", '.', '/', ':'}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvel::core
