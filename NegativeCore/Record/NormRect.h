// A rectangle in normalised image coordinates: x, y from the top left, w, h as fractions of
// the image's width and height.
#pragma once

struct NormRect {
  double x = 0;
  double y = 0;
  double w = 1;
  double h = 1;

  friend bool operator==(const NormRect&, const NormRect&) = default;
};
