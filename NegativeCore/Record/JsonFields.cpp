#include "Record/JsonFields.h"

#include <cmath>
#include <cstdint>

namespace JsonFields {

namespace {

// Written into every failure of a writer so callers can tell it from a reader's error.
constexpr int nonFiniteId = 599;

// Bounds of int64_t as doubles: -2^63 is representable and in range, 2^63 is not.
constexpr double intLowest = -9223372036854775808.0;
constexpr double intBeyond = 9223372036854775808.0;

}  // namespace

std::optional<double> asDouble(const Json& value) {
  if (!value.is_number()) return std::nullopt;
  const double number = value.get<double>();
  if (!std::isfinite(number)) return std::nullopt;
  return number;
}

std::optional<int64_t> asInt(const Json& value) {
  if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<int64_t>();
  if (value.is_number_unsigned()) {
    const uint64_t number = value.get<uint64_t>();
    if (number > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<int64_t>(number);
  }
  if (value.is_number_float()) {
    const double number = value.get<double>();
    if (!(number >= intLowest && number < intBeyond) || std::trunc(number) != number)
      return std::nullopt;
    return static_cast<int64_t>(number);
  }
  return std::nullopt;
}

std::optional<bool> asBool(const Json& value) {
  if (!value.is_boolean()) return std::nullopt;
  return value.get<bool>();
}

std::optional<std::string> asString(const Json& value) {
  if (!value.is_string()) return std::nullopt;
  return value.get<std::string>();
}

std::optional<Uuid> asUuid(const Json& value) {
  if (!value.is_string()) return std::nullopt;
  return Uuid::fromString(value.get_ref<const Json::string_t&>());
}

std::optional<std::vector<double>> asNumbers(const Json& value) { return listOf(asDouble)(value); }

std::optional<Points> asPoints(const Json& value) { return listOf(asNumbers)(value); }

std::optional<double> asAnyDouble(const Json& value) {
  if (!value.is_number()) return std::nullopt;
  return value.get<double>();
}

std::optional<int64_t> asWrittenInt(const Json& value) {
  if (value.is_number_unsigned()) {
    const uint64_t number = value.get<uint64_t>();
    if (number > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<int64_t>(number);
  }
  if (!value.is_number_integer()) return std::nullopt;
  return value.get<int64_t>();
}

std::optional<int64_t> asWholeNumberWithin(const Json& value, double limit) {
  if (value.is_number_integer()) return asWrittenInt(value);
  if (!value.is_number_float()) return std::nullopt;
  const double number = value.get<double>();
  if (number >= -limit && number <= limit &&
      number == static_cast<double>(static_cast<int64_t>(number)))
    return static_cast<int64_t>(number);
  return std::nullopt;
}

const Json* find(const Json& object, std::string_view key) {
  if (!object.is_object()) return nullptr;
  const auto it = object.find(key);
  if (it == object.end() || it->is_null()) return nullptr;
  return &*it;
}

void requireObject(const Json& value) {
  if (value.is_object()) return;
  throw Json::type_error::create(
      302, std::string("type must be object, but is ") + value.type_name(), &value);
}

Uuid idOrRandom(const Json& object) {
  if (auto id = tolerant(object, "id", asUuid)) return *id;
  return Uuid::random();
}

void throwMissing(std::string_view key) {
  throw Json::out_of_range::create(403, "key '" + std::string(key) + "' not found", nullptr);
}

void throwMistyped(std::string_view key, const Json& value) {
  throw Json::type_error::create(
      302, "value of '" + std::string(key) + "' is not valid (" + value.type_name() + ")", nullptr);
}

Json number(double value, std::string_view key) {
  if (!std::isfinite(value))
    throw Json::other_error::create(
        nonFiniteId, "cannot write the non-finite number of '" + std::string(key) + "'", nullptr);
  return value;
}

Json numbers(const std::vector<double>& values, std::string_view key) {
  Json list = Json::array();
  for (double value : values) list.push_back(number(value, key));
  return list;
}

Json points(const Points& values, std::string_view key) {
  Json list = Json::array();
  for (const auto& point : values) list.push_back(numbers(point, key));
  return list;
}

}  // namespace JsonFields
