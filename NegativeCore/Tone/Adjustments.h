// The tone controls that work on the finished print (grain reduction, dehaze, tone regions,
// clarity, sharpness, black mist) and the plain white or black border. Each control rewrites the
// print in place from the print as it is when the control starts. The plane operations they
// share with other stages live beside them: Tone/Luminance.h and Tone/BoxBlur.h.
#pragma once

#include <cstdint>
#include <vector>

#include "Print/PrintImage.h"
#include "Record/BorderStyle.h"

struct ConversionSettings;

namespace Adjustments {

// Runs the controls of one edit record in their fixed order, each only when set:
// grain reduction (grainReduction > 0.5; luminance only for bwNegative), dehaze
// (|dehaze| > 0.5), tone regions (any of highlights, shadows, whites, blacks beyond ±0.5),
// clarity (|clarity| > 0.5), sharpness (sharpness > 0.5), black mist (blackMist > 0.5).
void apply(PrintImage& print, const ConversionSettings& settings);

// The single controls, run unconditionally. Amounts are slider values: grain reduction and
// black mist 0…100, dehaze and clarity −100…100, sharpness 0…150, each clamped to its range
// (a value that is not a number counts as 0); the tone regions are ±100 scales, not clamped.
void grainReduction(PrintImage& print, bool monochrome, double amount);
void dehaze(PrintImage& print, double amount);
void toneRegions(PrintImage& print, double highlights, double shadows, double whites,
                 double blacks);
void clarity(PrintImage& print, double amount);
void clarityThunk(PrintImage& print, double amount);
void sharpen(PrintImage& print, double amount);
void blackMist(PrintImage& print, double amount);

// A new print with a border of `size` percent (0…50) of the short side, at least one pixel,
// around the given one: white for `white`, black for `black`. Other styles return the print
// unchanged (film-holder frames are drawn elsewhere). Takes the buffer by value so that a
// caller moving it in pays no copy when nothing is drawn.
PrintImage border(int64_t width, int64_t height, std::vector<float> rgb, BorderStyle style,
                  double size);

}  // namespace Adjustments
