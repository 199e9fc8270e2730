#include "Support/NumberText.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace NumberText {

namespace {

std::string nonFinite(double value) {
  if (std::isnan(value)) return "nan";
  return value < 0 ? "-inf" : "inf";
}

bool hasFractionOrExponent(const std::string& text) {
  return text.find_first_of(".e") != std::string::npos;
}

}  // namespace

std::string shortest(double value) {
  if (!std::isfinite(value)) return nonFinite(value);
  char buffer[512];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  std::string text(buffer, result.ptr);
  if (!hasFractionOrExponent(text)) text += ".0";
  return text;
}

std::string shortestFloat(float value) {
  if (!std::isfinite(value)) return nonFinite(value);
  const float magnitude = std::fabs(value);
  char buffer[128];
  const bool plain = magnitude == 0.0f || (magnitude >= 0.0001f && magnitude < 1e16f);
  const auto format = plain ? std::chars_format::fixed : std::chars_format::scientific;
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
  std::string text(buffer, result.ptr);
  if (plain && !hasFractionOrExponent(text)) text += ".0";
  return text;
}

std::string fixed(double value, int decimals) {
  if (!std::isfinite(value)) return nonFinite(value);
  char buffer[512];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

std::optional<double> parseDouble(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

}  // namespace NumberText
