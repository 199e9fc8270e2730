// Enumerations stored as strings. Each enumeration lists its cases once, with raw values equal
// to the case names, by specialising EnumNames; toString, fromString and allCases follow.
// Matching is exact and case-sensitive: a text that is no raw value gives no value.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

template <class E>
struct EnumNames;  // static constexpr std::array<std::pair<E, std::string_view>, N> cases

template <class E>
concept NamedEnum = requires { EnumNames<E>::cases; };

template <NamedEnum E>
std::string toString(E value) {
  for (const auto& [e, name] : EnumNames<E>::cases)
    if (e == value) return std::string(name);
  return {};
}

template <NamedEnum E>
std::optional<E> fromString(std::string_view text) {
  for (const auto& [e, name] : EnumNames<E>::cases)
    if (name == text) return e;
  return std::nullopt;
}

// The cases in declaration order.
template <NamedEnum E>
constexpr auto allCases() {
  constexpr auto& cases = EnumNames<E>::cases;
  std::array<E, cases.size()> values{};
  for (size_t i = 0; i < cases.size(); ++i) values[i] = cases[i].first;
  return values;
}
