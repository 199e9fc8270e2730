// One red-eye mark: a normalised centre and radius.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include "Support/Uuid.h"

struct RedEye {
  Uuid id = Uuid::random();
  double x = 0;
  double y = 0;
  double r = 0;

  friend bool operator==(const RedEye&, const RedEye&) = default;
};

// JSON: all four keys, each required.
nlohmann::json toJson(const RedEye& mark);
RedEye redEyeFromJson(const nlohmann::json& json);
