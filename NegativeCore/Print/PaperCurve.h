// The logistic paper curve of the print: a sigmoid of steepness k, rescaled so that 0 maps to 0,
// 0.5 to 0.5 and 1 to 1, with slope k/4·(1/span) at the middle.
#pragma once

struct PaperCurve {
  float k;
  float lo;
  float span;

  explicit PaperCurve(float k);

  float apply(float v) const;
};
