#include "measure/number_forms.h"

#include <gtest/gtest.h>

#include <charconv>
#include <iomanip>
#include <limits>
#include <string>

#include "core/date_time.h"
#include "measure/time_stamp.h"

namespace orvel::measure {
namespace {

struct FormCase {
  double value;
  char decimal;
  const char* general;
  const char* fixed;
};
void PrintTo(const FormCase& c, std::ostream* os) {
  *os << std::setprecision(15) << c.value << " decimal " << c.decimal;
}

class NumberFormsTest : public ::testing::TestWithParam<FormCase> {};

TEST_P(NumberFormsTest, GeneralAndFixed) {
  const FormCase& c = GetParam();
  EXPECT_EQ(GeneralForm(c.value, c.decimal), c.general) << c.value;
  EXPECT_EQ(FixedForm(c.value, c.decimal), c.fixed) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumberFormsTest,
    ::testing::Values(FormCase{23.06, ',', "23,06", "23,06"}, FormCase{21.5, ',', "21,5", "21,50"},
                      FormCase{20.0, ',', "20", "20,00"}, FormCase{5.0, ',', "5", "5,00"},
                      FormCase{23.456, ',', "23,456", "23,46"},
                      // Values of 100 and more keep their hundredths in the fixed form.
                      FormCase{100.653, ',', "100,653", "100,65"},
                      FormCase{123.456, ',', "123,456", "123,46"},
                      FormCase{998.0, ',', "998", "998,00"}, FormCase{-51.0, ',', "-51", "-51,00"},
                      FormCase{0.0, ',', "0", "0,00"}, FormCase{-0.001, ',', "-0,001", "0,00"},
                      FormCase{99.87, '.', "99.87", "99.87"}, FormCase{45.3, '.', "45.3", "45.30"},
                      FormCase{-10.125, '.', "-10.125", "-10.12"},
                      FormCase{1.0 / 3.0, ',', "0,333333333333333", "0,33"},
                      FormCase{100.65327, ',', "100,65327", "100,65"}));

// Values so large that a hundred times them overflows are whole numbers:
// all their digits and two zero decimals, never "inf".
TEST(NumberFormsTest, FixedFormOfHugeValuesKeepsEveryDigit) {
  for (const double value :
       {1e307, std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()}) {
    char digits[400];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 0).ptr;
    EXPECT_EQ(FixedForm(value, ','), std::string(digits, end) + ",00") << value;
  }
}

TEST(JournalStampTest, UsesTheLocaleSeparators) {
  const core::DateTime t = core::EncodeDateTime({2026, 12, 7, 15, 23, 44, 0});
  EXPECT_EQ(JournalStamp(t, {',', '.', ':'}), "2026.12.07 15:23:44");
  EXPECT_EQ(JournalStamp(t, {'.', '/', ':'}), "2026/12/07 15:23:44");
  EXPECT_EQ(JournalStamp(t, {'.', '-', '.'}), "2026-12-07 15.23.44");
  const core::DateTime morning = core::EncodeDateTime({2027, 1, 2, 3, 4, 5, 999});
  EXPECT_EQ(JournalStamp(morning, {',', '.', ':'}), "2027.01.02 03:04:05");
}

}  // namespace
}  // namespace orvel::measure
