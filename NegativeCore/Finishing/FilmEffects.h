// Film effects on the finished print: halation (a warm glow spilling from bright areas), a
// vignette (lighter or darker toward the corners) and grain (fine neutral noise, strongest in
// the midtones). Each effect changes the print in place, one parallel loop over its rows.
#pragma once

#include "Print/PrintImage.h"
#include "Record/ConversionSettings.h"

namespace FilmEffects {

// Halation when glowAmount > 0.5 (neutral glow for black-and-white negatives), the vignette when
// |vignetteAmount| > 0.5 and grain when grainAmount > 0.5, in that order.
void apply(PrintImage& print, const ConversionSettings& settings);

// The single effects apply unconditionally. amount, size, midpoint, feather and roughness are on
// the 0…100 slider scales; the vignette amount runs from −100 (darker edges) to +100.
// Halation glows red-orange on colour film and neutral when mono.
void halation(PrintImage& print, bool mono, double amount, double size);
void vignette(PrintImage& print, double amount, double midpoint, double feather);
void grain(PrintImage& print, double amount, double size, double roughness);

}  // namespace FilmEffects
