#include "Model/LayerNames.h"

#include <algorithm>
#include <charconv>

namespace {

// One pass from the left; a "Layer " that the removals bring together stays.
std::string withoutLayerWord(std::string_view name) {
  constexpr std::string_view word = "Layer ";
  std::string rest;
  size_t from = 0;
  for (size_t at = name.find(word); at != std::string_view::npos; at = name.find(word, from)) {
    rest.append(name.substr(from, at - from));
    from = at + word.size();
  }
  rest.append(name.substr(from));
  return rest;
}

}  // namespace

namespace LayerNames {

std::optional<int64_t> numberIn(std::string_view name) {
  const std::string rest = withoutLayerWord(name);
  std::string_view digits = rest;
  const bool negative = !digits.empty() && digits.front() == '-';
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
  if (digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  // The sign stays with the digits, so the most negative number reads too.
  const std::string_view text = negative ? std::string_view(rest) : digits;
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string next(const std::vector<std::string>& names) {
  std::optional<int64_t> largest;
  for (const std::string& name : names) {
    if (const std::optional<int64_t> n = numberIn(name))
      largest = std::max(largest.value_or(*n), *n);
  }
  const int64_t n = largest.value_or(0);
  // Counted unsigned from zero up, so one past the largest 64-bit number is still written.
  const std::string number =
      n >= 0 ? std::to_string(static_cast<uint64_t>(n) + 1) : std::to_string(n + 1);
  return "Layer " + number;
}

}  // namespace LayerNames
