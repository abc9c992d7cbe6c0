#pragma once

#include <string>

namespace orvel::measure {

// The shortest decimal form with up to 15 significant digits and no
// trailing zeros, written with `decimal` as the decimal sign: 23.06 ->
// "23,06", 21.5 -> "21,5", 20 -> "20" (comma locale).
std::string GeneralForm(double value, char decimal);

// Exactly two decimals of the value rounded to hundredths (halves to even):
// 5 -> "5,00", 123.456 -> "123,46", 100.653 -> "100,65". Used by the journal
// and the bridge tab.
std::string FixedForm(double value, char decimal);

}  // namespace orvel::measure
