// A synthetic camera scan of a colour negative on a light table, for the auto-crop tests and
// benchmark: a dark holder around the opening, the strip's clear rebate with perforations that
// show bare light above and below the frame, the inter-frame gaps and the neighbouring frames'
// edges beside it, and a 36 × 24 frame of picture densities over the orange film base.
#pragma once

#include <cstdint>

#include "Conversion/LinearImage.h"
#include "Record/NormRect.h"

struct LightTableScan {
  LinearImage image;
  NormRect frame;  // the picture area as drawn, in normalised coordinates
};

// frameWidthShare is the frame's share of the scan's width; the frame is centred.
LightTableScan makeLightTableScan(int64_t width, int64_t height, double frameWidthShare = 0.62);
