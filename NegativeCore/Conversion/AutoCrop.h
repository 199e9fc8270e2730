// Finds the picture area of a camera scan of film: the part inside the film holder's dark
// edges, the clear film rebate and any bare light around the strip. The scan is reduced to a
// grid of density cells, cells are flagged opaque or clear against the film base, and row and
// column profiles of those flags are walked inward from each edge. Runs on the calling thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Conversion/LinearImage.h"
#include "Record/FilmMode.h"
#include "Record/NormRect.h"

namespace AutoCrop {

struct Result {
  NormRect rect{0, 0, 1, 1};  // the frame in normalised coordinates; whole image when not found
  bool found = false;

  friend bool operator==(const Result&, const Result&) = default;
};

// An edge is sought only in the outer 30 % of each profile.
inline constexpr double searchFraction = 0.3;
// Share of opaque cells that makes a row or column part of the holder border.
inline constexpr double borderCoverage = 0.6;
// Density margin for clear cells, and the spread test of the film base.
inline constexpr float clearMargin = 0.1f;
// Density above the film base beyond which a cell is opaque.
inline constexpr float opaqueMargin = 2.0f;

// The frame of a straightened scan, for the edit's film mode. Slides (positive) trim opaque
// borders only: unexposed slide film is dense, so nothing on it counts as clear.
Result detect(const LinearImage& image, FilmMode mode);

// A grid of flags (row-major, columns × rows) reduced to the share of flagged cells of each
// row among the central columns (one fifth in from either side).
std::vector<float> rowProfile(const std::vector<uint8_t>& flags, size_t columns, size_t rows);

// The share of flagged cells of each column among the central rows.
std::vector<float> columnProfile(const std::vector<uint8_t>& flags, size_t columns, size_t rows);

// Cells to trim from the start of a pair of profiles (opaque, clear): past a holder border of
// opaque rows, the partly clear transition after it, and a clear rebate band beside the border
// or further in.
size_t edgeDepth(const std::vector<float>& opaque, const std::vector<float>& clear);

// The mean of the profile over the cells first…last that lie inside it; 0 when none does.
float windowMean(const std::vector<float>& profile, long first, long last);

}  // namespace AutoCrop
