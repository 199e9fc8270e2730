// Dates of stored files as ISO 8601 text in whole seconds, "2024-05-01T13:45:02Z", written and
// read without the process locale.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace Iso8601 {

// Whole seconds in UTC with "Z", for the years 0000 to 9999 that parse reads.
std::string format(std::chrono::sys_seconds date);

// The same for a clock reading; a fraction of a second is dropped.
inline std::string format(std::chrono::system_clock::time_point date) {
  return format(std::chrono::floor<std::chrono::seconds>(date));
}

// "YYYY-MM-DDTHH:MM:SS" followed by "Z" or an offset "+HH:MM" / "-HH:MM" (also "+HHMM"), which
// is converted to UTC. Nothing for any other text, including fractions of a second,
// impossible dates such as February 30, and offsets that carry the date out of the years 0000
// to 9999. Kept in seconds, so every such year reads (a nanosecond clock ends in 2262).
std::optional<std::chrono::sys_seconds> parse(std::string_view text);

}  // namespace Iso8601
