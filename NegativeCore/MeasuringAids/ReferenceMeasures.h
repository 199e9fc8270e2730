// The measures that compare a print with a reference photo: drawing the reference at the print's
// size, placing it over the print (orientation and window, by the correlation of 32 × 32 luma
// thumbnails), sampling colours at matching points, the colour and statistics errors, and fitting
// channel tone curves from paired values. Pure functions on small images.
//
// RGB images are PrintImage values (display-referred RGB, normally 0…1). Luma is
// L = 0.3·R + 0.59·G + 0.11·B; the colour-opponent axes are C1 = R − (G + B)/2 and
// C2 = 0.866·(G − B); all three in 32-bit floats. Positions are normalised (0…1) image
// coordinates; a window (x, y, w, h) may reach outside the image, whose edge pixels then repeat.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "MeasuringAids/ReferencePicture.h"
#include "Print/PrintImage.h"

namespace ReferenceMatch {

using Color = std::array<float, 3>;
// The points of a ToneCurve: [x, y] pairs.
using CurvePoints = std::vector<std::vector<double>>;

struct SamplePoint {
  double x;
  double y;
};

// The reference as placed over a print: print point (X, Y) lies at reference point
// (x + w·X, y + h·Y) of the oriented reference.
struct Placement {
  PrintImage reference;  // the reference turned and mirrored as it fits best
  double x;
  double y;
  double w;
  double h;
  double correlation;  // of the best placement; the untouched orientation has a 0.02 bonus
};

struct Window {
  double x;
  double y;
  double w;
  double h;
};

struct SampleMean {
  Color mean;
  float lumaDeviation;
};

struct PercentileColors {
  std::vector<Color> print;
  std::vector<Color> reference;
};

// Three lists (luma and the two opponent axes, or red, green and blue) of quantiles.
using Quantiles = std::array<std::vector<float>, 3>;

float luma(float r, float g, float b);

// The reference drawn with its long side near longSide, keeping its own aspect: sides
// max(8, ⌊scale · side⌋) with scale = longSide / its longer side, display-encoded Display P3,
// each channel clamped to 0…1; transparent areas read dark (alpha is premultiplied, then dropped).
PrintImage renderReference(const ReferencePicture& reference, int64_t longSide);

// 32 × 32 luma values (rows outer) sampled bilinearly at the centres of a 32 × 32 grid over the
// window; positions are clamped to the image, so a window beyond it repeats the edge pixels.
std::vector<float> lumaThumbnail(const PrintImage& image, const Window& window = {0, 0, 1, 1});

// The values less their mean, divided by max(√(sum of squares), 1e-6): a uniform list gives
// zeros. The correlation of two normalised lists is the sum of their products.
std::vector<float> normalized(std::vector<float> values);
double correlation(const std::vector<float>& a, const std::vector<float>& b);

// The image mirrored left to right first when `mirror`, then turned clockwise quarterTurns times
// (taken modulo 4): pixel (x, y) of a W × H image goes to (H − 1 − y, x) of the H × W result.
PrintImage oriented(const PrintImage& image, bool mirror, int quarterTurns);

// The windows the placement tries after choosing the orientation, in the order it tries them:
// w from 0.84 through 1.16 by 0.04, h from w − 0.04 through w + 0.04 by 0.04, x and y each ±0.08
// by 0.02 around centring; each value start + k·step, the end included when reached exactly.
std::vector<Window> searchWindows();

// The orientation whose whole-picture thumbnail correlates best with the print's (among those
// within a factor e^0.35 of the print's aspect; the untouched one first, with a 0.02 bonus),
// then the window of it that correlates better still.
Placement place(const PrintImage& print, const PrintImage& reference);

// The mean colour of the 25 pixels at (x + r·i, y + r·j) for i, j in −2…2 (truncated and
// clamped to the image) and the deviation of their luma.
SampleMean sampleMean(const PrintImage& image, double x, double y, double radius);
// The mean colours at the points, radius 0.006.
std::vector<Color> samplePrint(const PrintImage& print, const std::vector<SamplePoint>& points);

// √(Σ (ΔL² + 1.5·ΔC1² + 1.5·ΔC2²) / max(n, 1)) over the first min(n, m) pairs of a (n colours)
// and b (m colours); 0 for empty lists.
double colorError(const std::vector<Color>& a, const std::vector<Color>& b);

// The 19 quantiles k/20 of L, C1 and C2 over every s-th pixel, s = max(1, ⌊pixels/20000⌋).
Quantiles opponentQuantiles(const PrintImage& image);
// √(Σ (ΔL² + 1.5·ΔC1² + 1.5·ΔC2²) / 19) over the opponent quantiles of print and reference.
double statisticsError(const PrintImage& print, const PrintImage& reference);
// The same over quantiles already taken; each list must hold at least 19 (else
// std::invalid_argument).
double statisticsError(const Quantiles& print, const Quantiles& reference);

// The 49 quantiles k/50 of R, G and B, sampled like opponentQuantiles.
Quantiles channelQuantiles(const PrintImage& image);
// The channel quantiles of each image paired into 49 colours (R_k, G_k, B_k).
PercentileColors percentileColors(const PrintImage& print, const PrintImage& reference);

// A channel curve at x = 0, 0.12, 0.28, 0.45, 0.62, 0.8, 1 that takes the print's values toward
// the reference's (pairs up to the shorter list): a Gaussian-weighted mean of the reference values
// near each x with the identity as a prior of weight 2, then a minimum slope of 0.6 and, where
// that lifts the end above 1, the excess taken off the upper points.
CurvePoints fitCurve(const std::vector<float>& printValues,
                     const std::vector<float>& referenceValues);
// Every point [x, y] becomes [x, x + strength·(y − x)] rounded to three decimals: 1 keeps the
// curve, 0 gives the identity on the same x positions.
CurvePoints scaledCurve(const CurvePoints& points, double strength);
// [x, min(y, 1)] for each pair up to the shorter list, both rounded to three decimals (halves
// away from zero).
CurvePoints curvePoints(const std::vector<double>& xs, const std::vector<double>& ys);

}  // namespace ReferenceMatch
