// Identifiers of scans, repairs, marks, shapes and layers: random version-4 UUIDs, written as
// upper-case 8-4-4-4-12 hexadecimal text and read in either letter case.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class Uuid {
 public:
  Uuid() = default;  // the nil UUID
  explicit Uuid(const std::array<uint8_t, 16>& bytes) : bytes_(bytes) {}

  static Uuid random();
  // The 36-character hyphenated form in hexadecimal of either case; nothing else.
  static std::optional<Uuid> fromString(std::string_view text);

  std::string toString() const;
  const std::array<uint8_t, 16>& bytes() const { return bytes_; }

  friend bool operator==(const Uuid&, const Uuid&) = default;
  friend auto operator<=>(const Uuid&, const Uuid&) = default;

 private:
  std::array<uint8_t, 16> bytes_{};
};

template <>
struct std::hash<Uuid> {
  size_t operator()(const Uuid& id) const noexcept {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : id.bytes()) h = (h ^ b) * 1099511628211ull;
    return static_cast<size_t>(h);
  }
};
