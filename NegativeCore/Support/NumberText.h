// Locale-free number text. Every number that is stored or compared as text goes through here:
// the application sets the process locale, after which printf and strtod use decimal commas.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace NumberText {

// Shortest decimal that reads back to the same double, in plain notation, with ".0" added to
// whole numbers: 0.08 → "0.08", 0 → "0.0", 5 → "5.0", 100000 → "100000.0", 0.0001 → "0.0001".
// Non-finite values give "nan", "inf" or "-inf".
std::string shortest(double value);

// Shortest float text: plain notation with at least one digit after the point when
// 0.0001 ≤ |x| < 1e16 (or x is 0), exponent notation otherwise ("1e-06").
std::string shortestFloat(float value);

// Fixed notation with the given number of digits after the point, like "%.4f" in the C locale.
std::string fixed(double value, int decimals);

// Parses a whole string as a double in the C locale; no value when anything is left over.
std::optional<double> parseDouble(std::string_view text);

}  // namespace NumberText
