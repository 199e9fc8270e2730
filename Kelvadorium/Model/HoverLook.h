// The film look under the pointer in the look picker: a preset's id, or none for the picker's
// row without a film preset. Equal when the ids are.
#pragma once

#include <optional>
#include <string>

struct HoverLook {
  std::optional<std::string> filmPreset;

  friend bool operator==(const HoverLook&, const HoverLook&) = default;
};
