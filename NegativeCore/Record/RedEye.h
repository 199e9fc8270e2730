// One red-eye mark: a normalised centre and radius.
#pragma once

#include "Support/Uuid.h"

struct RedEye {
  Uuid id = Uuid::random();
  double x = 0;
  double y = 0;
  double r = 0;

  friend bool operator==(const RedEye&, const RedEye&) = default;
};
