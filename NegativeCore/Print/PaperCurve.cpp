#include "Print/PaperCurve.h"

#include <cmath>

PaperCurve::PaperCurve(float steepness)
    : k(steepness),
      lo(1 / (1 + std::exp(steepness / 2))),
      span(1 / (1 + std::exp(-steepness / 2)) - lo) {}

float PaperCurve::apply(float v) const { return (1 / (1 + std::exp(-k * (v - 0.5f))) - lo) / span; }
