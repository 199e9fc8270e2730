// The one vocabulary for reading and writing fields of the library's JSON: the edit record, the
// analysis, export options, the frame list, folder sidecars and project files. Tolerant readers
// use `take`, which keeps the target when a key is missing, null or mistyped; strict readers use
// `required` and `optionalKey`, which throw the JSON library's errors. Each file picks the
// conversions that state its own rules. Writers put every number through `number`, which refuses
// non-finite values: JSON cannot hold them.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "Record/EnumText.h"
#include "Support/Uuid.h"

namespace JsonFields {

using Json = nlohmann::json;
using Points = std::vector<std::vector<double>>;

// Value conversions: no value when the JSON value is not of the type. Numbers must be finite;
// an Int must be a whole number within the 64-bit range (7.5 and 1e300 are not Ints).
std::optional<double> asDouble(const Json& value);
std::optional<int64_t> asInt(const Json& value);
std::optional<bool> asBool(const Json& value);
std::optional<std::string> asString(const Json& value);
std::optional<Uuid> asUuid(const Json& value);
std::optional<std::vector<double>> asNumbers(const Json& value);
std::optional<Points> asPoints(const Json& value);

// Any number as a double, not-finite included, for readers that limit the value themselves.
std::optional<double> asAnyDouble(const Json& value);
// A number written as an integer (7, not 7.0) within the 64-bit range.
std::optional<int64_t> asWrittenInt(const Json& value);
// A whole number written either way: an integer within the 64-bit range, or a float that is
// whole and lies within −limit…limit, a limit below 2^63 (3.0 counts as 3; 3.5 does not).
std::optional<int64_t> asWholeNumberWithin(const Json& value, double limit);

inline auto wholeNumberWithin(double limit) {
  return [limit](const Json& value) { return asWholeNumberWithin(value, limit); };
}

// A list of which every element converts; one element that does not fails the list.
template <class Convert>
auto listOf(Convert convert) {
  using Element = typename decltype(convert(std::declval<const Json&>()))::value_type;
  return [convert](const Json& value) -> std::optional<std::vector<Element>> {
    if (!value.is_array()) return std::nullopt;
    std::vector<Element> list;
    list.reserve(value.size());
    for (const Json& element : value) {
      auto converted = convert(element);
      if (!converted) return std::nullopt;
      list.push_back(std::move(*converted));
    }
    return list;
  };
}

template <NamedEnum E>
std::optional<E> asEnum(const Json& value) {
  if (!value.is_string()) return std::nullopt;
  return fromString<E>(value.get_ref<const Json::string_t&>());
}

// A list of numbers of exactly `count` elements.
inline auto numbersOfCount(size_t count) {
  return [count](const Json& value) -> std::optional<std::vector<double>> {
    auto numbers = asNumbers(value);
    if (numbers && numbers->size() != count) return std::nullopt;
    return numbers;
  };
}

// The value stored under `key`; null when the key is missing or holds null.
const Json* find(const Json& object, std::string_view key);

// Throws the library's type error (302) when `value` is not an object.
void requireObject(const Json& value);

// Tolerant: the converted value under `key`, or no value when missing, null or mistyped.
template <class Convert>
auto tolerant(const Json& object, std::string_view key, Convert convert)
    -> decltype(convert(object)) {
  const Json* value = find(object, key);
  if (!value) return std::nullopt;
  return convert(*value);
}

// Tolerant: replaces `target` only when the key converts.
template <class Convert, class Target>
void take(const Json& object, std::string_view key, Convert convert, Target& target) {
  if (auto value = tolerant(object, key, convert)) target = std::move(*value);
}

// The `id` when it is UUID text, otherwise a new random one.
Uuid idOrRandom(const Json& object);

[[noreturn]] void throwMissing(std::string_view key);
[[noreturn]] void throwMistyped(std::string_view key, const Json& value);

// Strict: throws out_of_range (403) when the key is missing or null, type_error (302) when the
// value does not convert.
template <class Convert>
auto required(const Json& object, std::string_view key, Convert convert) {
  const Json* value = find(object, key);
  if (!value) throwMissing(key);
  auto converted = convert(*value);
  if (!converted) throwMistyped(key, *value);
  return std::move(*converted);
}

// Strict optional key: missing or null give no value; a present value must convert.
template <class Convert>
auto optionalKey(const Json& object, std::string_view key, Convert convert)
    -> decltype(convert(object)) {
  const Json* value = find(object, key);
  if (!value) return std::nullopt;
  auto converted = convert(*value);
  if (!converted) throwMistyped(key, *value);
  return converted;
}

// A conversion that gives no value where the member reader `read` throws.
template <class Read>
auto readable(Read read) {
  return [read](const Json& value) -> std::optional<decltype(read(value))> {
    try {
      return read(value);
    } catch (const nlohmann::json::exception&) {
      return std::nullopt;
    }
  };
}

// Every element of the array under `key` that `read` accepts, in order; elements it throws on
// are left out, so one damaged element never costs its neighbours. Not an array: no elements.
template <class Read>
auto readableElements(const Json& object, std::string_view key, Read read)
    -> std::vector<decltype(read(object))> {
  std::vector<decltype(read(object))> elements;
  const Json* list = find(object, key);
  if (!list || !list->is_array()) return elements;
  elements.reserve(list->size());
  for (const Json& element : *list) {
    try {
      elements.push_back(read(element));
    } catch (const nlohmann::json::exception&) {
      // A malformed element is dropped; the rest of the list stands.
    }
  }
  return elements;
}

// Writing. Each throws the library's other_error (599) for a non-finite number, naming `key`.
Json number(double value, std::string_view key);
Json numbers(const std::vector<double>& values, std::string_view key);
Json points(const Points& values, std::string_view key);

template <class T>
void putOptional(Json& object, std::string_view key, const std::optional<T>& value) {
  if (!value) return;
  if constexpr (std::is_same_v<T, double>)
    object[std::string(key)] = number(*value, key);
  else if constexpr (std::is_same_v<T, Uuid>)
    object[std::string(key)] = value->toString();
  else if constexpr (NamedEnum<T>)
    object[std::string(key)] = toString(*value);
  else
    object[std::string(key)] = *value;
}

}  // namespace JsonFields
