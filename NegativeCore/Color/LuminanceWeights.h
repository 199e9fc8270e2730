// The library's luminance weighting of linear RGB: Y = 0.229·R + 0.6917·G + 0.0793·B. Film
// measurement, frame finding, the print stage, the tone controls, the film effects, export
// sharpening and the dust finders all measure brightness with it. The dust model's input and
// the film effects' Rec. 709 luma keep their own standard weights.
#pragma once

namespace LuminanceWeights {

inline constexpr float red = 0.229f;
inline constexpr float green = 0.6917f;
inline constexpr float blue = 0.0793f;

// Y of one pixel. The sum runs red, green, blue in this order: results are bit for bit the same
// in every caller, scalar or vector.
inline float luminanceOf(float r, float g, float b) { return red * r + green * g + blue * b; }

}  // namespace LuminanceWeights
