// Red-eye correction: inside each marked circle of the finished print, strongly red pixels are
// pulled toward a dark neutral at the level of their green-blue mean, with a soft rim.
// Marks run one after another (a later mark sees an earlier one's result), each mark's rows in
// parallel. A mark with a non-finite value is skipped.
#pragma once

#include <cstdint>
#include <vector>

#include "Print/PrintImage.h"
#include "Record/NormRect.h"
#include "Record/RedEye.h"

namespace RedEyeFix {

// Corrects every mark in place. sourceWidth and sourceHeight are the decoded scan's size, angle
// the straighten angle in degrees, crop the print's rectangle in the straightened scan. The film
// mode is the caller's concern.
void apply(PrintImage& print, const std::vector<RedEye>& marks, int64_t sourceWidth,
           int64_t sourceHeight, double angle, const NormRect& crop);

}  // namespace RedEyeFix
