// Turning and mirroring an edit. Every position in the record (crop, repairs, red-eye marks,
// dodge & burn strokes, layer shapes) is stored in the coordinates of the scan as turned and
// mirrored, so a turn or mirror of the image moves them all along in one edit.
// Coordinates are normalised, y downwards; one clockwise quarter turn moves (x, y) to (1 − y, x).
#pragma once

#include <cstdint>

#include "Record/ConversionSettings.h"

namespace SettingsTurning {

// Turns the scan clockwise by quarterTurns × 90° (−1 turns it left) and every position with it.
void rotate(ConversionSettings& settings, int64_t quarterTurns);

// Mirrors the scan as displayed: across x while the turn count is even, across y while it is
// odd. The straighten angle changes sign.
void mirror(ConversionSettings& settings);

// The same rules for single elements. A spot's source turns only when both sx and sy are set;
// a mirror flips each source coordinate that is set. horizontal = true flips x, false flips y.
Spot rotated(const Spot& spot, int64_t quarterTurns);
Spot mirrored(const Spot& spot, bool horizontal);
RedEye rotated(const RedEye& mark, int64_t quarterTurns);
RedEye mirrored(const RedEye& mark, bool horizontal);
// Every shape of the layer turned; name, values and visibility unchanged.
LocalLayer rotated(const LocalLayer& layer, int64_t quarterTurns);

}  // namespace SettingsTurning
