// Numbers shown with printf patterns ("%+.2f", "%.0f%%", "Shadows %.1f%% · Highlights %.1f%%"),
// written the way glibc's printf writes them in the C locale whatever the process locale is:
// the program sets the user's locale at start-up, after which printf writes decimal commas.
// A pattern holds literal UTF-8 text, "%%", and conversions of the form
// %[flags][width][.precision][length]conversion with the flags "-+ 0#", the lengths "l" and
// "ll" (ignored) and the conversions f, F, e, E, g, G (a double) and d, i (a whole number).
#pragma once

#include <QString>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace PrintfText {

// One argument: a double for the floating-point conversions, a whole number for d and i. An
// argument of the other kind is converted (a double truncated towards zero, within range).
using Argument = std::variant<double, long long>;

// The pattern with its conversions filled in, in order. A conversion without an argument
// writes nothing; arguments beyond the conversions are ignored; a '%' that starts no valid
// conversion is written as it stands.
std::string formatUtf8(std::string_view pattern, std::span<const Argument> arguments);
std::string formatUtf8(std::string_view pattern, std::initializer_list<Argument> arguments);
QString format(std::string_view pattern, std::initializer_list<Argument> arguments);
QString format(std::string_view pattern, double value);

}  // namespace PrintfText
