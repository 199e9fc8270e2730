#include "Tone/Adjustments.h"

#include <algorithm>
#include <cmath>

#include "Color/LuminanceWeights.h"
#include "Record/ConversionSettings.h"
#include "Support/ParallelFor.h"
#include "Support/PixelMath.h"
#include "Support/PlanePool.h"
#include "Tone/BoxBlur.h"
#include "Tone/Luminance.h"
#include "Tone/PlaneSupport.h"
#include "Tone/RgbRows.h"

namespace Adjustments {

namespace {

using Plane = std::vector<float>;

// Slider value as a fraction: 0 at or below 0 (and for a value that is not a number), else
// min(amount, limit)/100.
double positiveFraction(double amount, double limit) {
  if (!(amount > 0)) return 0;
  return std::min(amount, limit) / 100;
}

// Two-sided slider as a fraction: −1 at or below −100, else min(amount, 100)/100.
double signedFraction(double amount) {
  if (std::isnan(amount)) return 0;
  if (amount <= -100) return -1;
  return std::min(amount, 100.0) / 100;
}

double longSide(const PrintImage& print) {
  return static_cast<double>(std::max(print.width, print.height));
}

// Whole part of a radius in pixels, at least `minimum`.
int64_t radius(double value, int64_t minimum) {
  const double limited = value > 0 ? std::min(value, 1e9) : 0.0;
  return std::max(static_cast<int64_t>(limited), minimum);
}

// Value forms of clamp, min and max (the same results as the std:: ones, NaN included) that
// the vectoriser turns into selects.
float clampTo(float v, float lo, float hi) { return v < lo ? lo : (hi < v ? hi : v); }
float clamp01(float v) { return clampTo(v, 0.0f, 1.0f); }
float minOf(float a, float b) { return b < a ? b : a; }
float maxOf(float a, float b) { return a < b ? b : a; }

// Runs body(i) for every pixel index, rows split over the worker pool.
template <class Body>
void forEachPixel(int64_t width, int64_t height, const Body& body) {
  parallelForRows(
      height,
      [&](int64_t begin, int64_t end) {
        for (int64_t i = begin * width; i < end * width; ++i) body(i);
      },
      smallPlaneRows(width, height));
}

// Runs body(y, channels, scratch) for every row of the print, rows split over the worker pool.
// channels[0…2] hold the row's red, green and blue values one after another (written back
// after the body), so that per-pixel arithmetic runs over contiguous floats and vectorises;
// `scratch` holds `scratchRows` further rows of width floats, private to the running chunk.
template <class Body>
void forEachPlanarRow(PrintImage& print, int scratchRows, const Body& body) {
  const int64_t width = print.width;
  parallelForRows(
      print.height,
      [&](int64_t begin, int64_t end) {
        std::vector<float> buffer(static_cast<size_t>(width * (3 + scratchRows)));
        float* channels[3] = {buffer.data(), buffer.data() + width, buffer.data() + 2 * width};
        float* scratch = buffer.data() + 3 * width;
        for (int64_t y = begin; y < end; ++y) {
          float* row = print.row(y);
          RgbRows::split(row, channels[0], channels[1], channels[2], static_cast<size_t>(width));
          body(y, channels, scratch);
          RgbRows::merge(channels[0], channels[1], channels[2], row, static_cast<size_t>(width));
        }
      },
      smallPlaneRows(width, print.height));
}

// The guided filter of the luminance by itself, as its two blurred coefficient planes: the
// smoothed luminance is q = Ā·L + B̄.
struct GuidedFilter {
  BlurredPlane meanA;
  BlurredPlane meanB;
};

GuidedFilter guidedFilter(const PlanePool::Plane& lum, const PrintImage& print, int64_t r,
                          float s) {
  const int64_t width = print.width;
  const int64_t height = print.height;
  const auto squares = [&](int64_t y, float* row) {
    const float* l = lum.data() + y * width;
    for (int64_t x = 0; x < width; ++x) row[x] = l[x] * l[x];
    return static_cast<const float*>(row);
  };
  const BlurredPlane mean(lum.values(), width, height, r, 1);
  const BlurredPlane meanOfSquares(squares, width, height, r, 1);

  // A = var/(var + ε) and B = μ − A·μ, row by row from the two means, never stored whole.
  const float epsilon = (0.055f * s) * (0.055f * s) + 0.000001f;
  const auto coefficient = [&, epsilon](int64_t y, float* row, bool wantB) {
    thread_local std::vector<float> rows;
    rows.resize(static_cast<size_t>(2 * width));
    const float* mu = mean.row(y, rows.data());
    const float* mu2 = meanOfSquares.row(y, rows.data() + width);
    for (int64_t x = 0; x < width; ++x) {
      const float variance = maxOf(mu2[x] - mu[x] * mu[x], 0.0f);
      const float a = variance / (variance + epsilon);
      row[x] = wantB ? mu[x] - a * mu[x] : a;
    }
    return static_cast<const float*>(row);
  };
  return {BlurredPlane([&](int64_t y, float* row) { return coefficient(y, row, false); }, width,
                       height, r, 1),
          BlurredPlane([&](int64_t y, float* row) { return coefficient(y, row, true); }, width,
                       height, r, 1)};
}

// The haze level: a high percentile of a sparse sample of the luminance, at least 0.5.
float hazeLevel(const PrintImage& print) {
  const auto n = static_cast<size_t>(print.width * print.height);
  const size_t step = n < 20000 ? 1 : n / 20000;
  Plane samples;
  samples.reserve(n / step + 1);
  for (size_t i = 0; i < n; i += step) {
    const float* p = &print.rgb[3 * i];
    samples.push_back(LuminanceWeights::luminanceOf(p[0], p[1], p[2]));
  }
  std::sort(samples.begin(), samples.end());
  const auto index = static_cast<size_t>(static_cast<double>(samples.size() - 1) * 0.995);
  return std::max(samples[index], 0.5f);
}

}  // namespace

void apply(PrintImage& print, const ConversionSettings& settings) {
  if (settings.grainReduction > 0.5)
    grainReduction(print, settings.mode == FilmMode::bwNegative, settings.grainReduction);
  if (std::abs(settings.dehaze) > 0.5) dehaze(print, settings.dehaze);
  if (std::abs(settings.highlights) > 0.5 || std::abs(settings.shadows) > 0.5 ||
      std::abs(settings.whites) > 0.5 || std::abs(settings.blacks) > 0.5)
    toneRegions(print, settings.highlights, settings.shadows, settings.whites, settings.blacks);
  if (std::abs(settings.clarity) > 0.5) clarity(print, settings.clarity);
  if (settings.sharpness > 0.5) sharpen(print, settings.sharpness);
  if (settings.blackMist > 0.5) blackMist(print, settings.blackMist);
}

void grainReduction(PrintImage& print, bool monochrome, double amount) {
  if (print.rgb.empty()) return;
  const int64_t width = print.width;
  const double s = positiveFraction(amount, 100);
  const int64_t r = radius(longSide(print) * 0.0012 * (1 + s), 1);
  const auto sf = static_cast<float>(s);
  const PlanePool::Plane lum(luminance(width, print.height, print.rgb));
  const GuidedFilter guided = guidedFilter(lum, print, r, sf);

  // The chroma (c − L) of each channel, smoothed, unless monochrome.
  std::vector<BlurredPlane> smoothChroma;
  for (int c = 0; c < 3 && !monochrome; ++c) {
    const auto chroma = [&](int64_t y, float* row) {
      const float* p = print.row(y);
      const float* l = lum.data() + y * width;
      for (int64_t x = 0; x < width; ++x) row[x] = p[3 * x + c] - l[x];
      return static_cast<const float*>(row);
    };
    smoothChroma.emplace_back(chroma, width, print.height, std::max<int64_t>(2 * r, 1), 2);
  }
  const float chromaWeight = 0.8f * sf;
  forEachPlanarRow(
      print, 3, [&, chromaWeight, monochrome](int64_t y, float* const* channels, float* scratch) {
        const float* meanA = guided.meanA.row(y, scratch);
        const float* meanB = guided.meanB.row(y, scratch + width);
        const float* l = lum.data() + y * width;
        float* change = scratch + 2 * width;
        for (int64_t x = 0; x < width; ++x) change[x] = (meanA[x] * l[x] + meanB[x]) - l[x];
        for (int c = 0; c < 3; ++c) {
          float* v = channels[c];
          if (monochrome) {
            for (int64_t x = 0; x < width; ++x) v[x] = clamp01(v[x] + change[x]);
            continue;
          }
          const float* chromaBlurred = smoothChroma[c].row(y, scratch);
          for (int64_t x = 0; x < width; ++x)
            v[x] = clamp01(v[x] + change[x] + chromaWeight * (chromaBlurred[x] - (v[x] - l[x])));
        }
      });
}

void dehaze(PrintImage& print, double amount) {
  if (print.rgb.empty()) return;
  const int64_t width = print.width;
  const float haze = hazeLevel(print);
  const auto s = static_cast<float>(signedFraction(amount));

  if (s > 0) {
    const auto dark = [&](int64_t y, float* row) {
      const float* p = print.row(y);
      for (int64_t x = 0; x < width; ++x)
        row[x] = minOf(minOf(p[3 * x], p[3 * x + 1]), p[3 * x + 2]);
      return static_cast<const float*>(row);
    };
    const BlurredPlane darkBlurred(dark, width, print.height, radius(0.015 * longSide(print), 2),
                                   2);
    forEachPlanarRow(print, 2, [&, s, haze](int64_t y, float* const* channels, float* scratch) {
      const float* d = darkBlurred.row(y, scratch);
      float* t = scratch + width;
      for (int64_t x = 0; x < width; ++x) t[x] = maxOf(1.0f - 0.9f * s * d[x] / haze, 0.3f);
      for (int c = 0; c < 3; ++c) {
        float* v = channels[c];
        for (int64_t x = 0; x < width; ++x) v[x] = clamp01(haze + (v[x] - haze) / t[x]);
      }
    });
  } else {
    // Adding haze pulls toward a veil just below the haze level, more in the dark areas.
    const float veil = 0.92f * haze;
    forEachPlanarRow(print, 1, [&, s, veil](int64_t, float* const* channels, float* k) {
      for (int64_t x = 0; x < width; ++x) {
        const float l =
            LuminanceWeights::luminanceOf(channels[0][x], channels[1][x], channels[2][x]);
        k[x] = -0.55f * s * (0.65f * (1.0f - l) + 0.35f);
      }
      for (int c = 0; c < 3; ++c) {
        float* v = channels[c];
        for (int64_t x = 0; x < width; ++x) v[x] = v[x] + k[x] * (veil - v[x]);
      }
    });
  }
}

void toneRegions(PrintImage& print, double highlights, double shadows, double whites,
                 double blacks) {
  if (print.rgb.empty()) return;
  const int64_t width = print.width;
  const auto h = static_cast<float>(highlights / 100);
  const auto sh = static_cast<float>(shadows / 100);
  const auto w = static_cast<float>(whites / 100);
  const auto b = static_cast<float>(blacks / 100);
  const float kH = h < 0 ? 0.3f : 0.22f;

  const PlanePool::Plane lum(luminance(width, print.height, print.rgb));
  const BlurredPlane surround(lum.values(), width, print.height, radius(0.012 * longSide(print), 0),
                              2);
  // Per row: the offset δ from the four region masks, then how each pixel takes it (bright
  // pixels scaled, keeping their hue; near-black ones shifted; the range between blended). A
  // clamp whose result feeds more arithmetic in the same loop keeps the loop from vectorising,
  // so the clamped terms go through rows of their own.
  forEachPlanarRow(print, 9,
                   [&, h, sh, w, b, kH](int64_t y, float* const* channels, float* scratch) {
                     const float* around = surround.row(y, scratch);
                     const float* ly = lum.data() + y * width;
                     float* tW = scratch + width;
                     float* tH = scratch + 2 * width;
                     float* tS = scratch + 3 * width;
                     float* tB = scratch + 4 * width;
                     float* tU = scratch + 5 * width;
                     float* shift = scratch + 6 * width;
                     float* scale = scratch + 7 * width;
                     float* keep = scratch + 8 * width;
                     for (int64_t x = 0; x < width; ++x) {
                       const float l = ly[x];
                       tW[x] = clamp01((l - 0.65f) / (1.0f - 0.65f));
                       tB[x] = clamp01(l / 0.35f);
                       tU[x] = clamp01((l - 0.02f) / (0.15f - 0.02f));
                     }
                     for (int64_t x = 0; x < width; ++x) {
                       const float g = 0.4f * ly[x] + 0.6f * around[x];
                       tH[x] = clamp01(2.0f * (g - 0.45f));
                       tS[x] = clamp01(2.0f * (g - 0.05f));
                     }
                     for (int64_t x = 0; x < width; ++x) {
                       const float mW = PixelMath::smoothstep<float>(tW[x]);
                       const float mH = PixelMath::smoothstep<float>(tH[x]);
                       const float mS = 1.0f - PixelMath::smoothstep<float>(tS[x]);
                       const float mB = 1.0f - PixelMath::smoothstep<float>(tB[x]);
                       shift[x] = 0.16f * w * mW + kH * h * mH + 0.28f * sh * mS + 0.14f * b * mB;
                     }
                     // ρ = clamp(L + δ)/L, or 1 on black; the division runs on a safe divisor.
                     for (int64_t x = 0; x < width; ++x) scale[x] = clamp01(ly[x] + shift[x]);
                     for (int64_t x = 0; x < width; ++x) keep[x] = ly[x] > 0.0001f ? ly[x] : 1.0f;
                     for (int64_t x = 0; x < width; ++x) scale[x] = scale[x] / keep[x];
                     for (int64_t x = 0; x < width; ++x)
                       scale[x] = ly[x] > 0.0001f ? scale[x] : 1.0f;
                     for (int64_t x = 0; x < width; ++x) {
                       const float u = PixelMath::smoothstep<float>(tU[x]);
                       scale[x] = u * scale[x];
                       keep[x] = 1.0f - u;
                     }
                     for (int c = 0; c < 3; ++c) {
                       float* v = channels[c];
                       for (int64_t x = 0; x < width; ++x)
                         v[x] = clamp01(scale[x] * v[x] + keep[x] * (v[x] + shift[x]));
                     }
                   });
}

void clarity(PrintImage& print, double amount) {
  if (print.rgb.empty()) return;
  const int64_t width = print.width;
  const PlanePool::Plane lum(luminance(width, print.height, print.rgb));
  // Three full-size rounds: clarity never takes the reduced path.
  PlanePool::Plane surround(lum.size());
  boxBlurPasses(lum.data(), surround.data(), width, print.height,
                radius(0.006 * longSide(print), 2), 3);
  const float v = 1.1f * static_cast<float>(signedFraction(amount));
  forEachPlanarRow(print, 1, [&, v](int64_t y, float* const* channels, float* d) {
    const float* l = lum.data() + y * width;
    const float* around = surround.data() + y * width;
    for (int64_t x = 0; x < width; ++x) {
      const float t = 2.0f * l[x] - 1.0f;
      const float midtones = maxOf(0.0f, 1.0f - t * t);
      d[x] = clampTo(v * (l[x] - around[x]) * midtones, -0.25f, 0.25f);
    }
    for (int c = 0; c < 3; ++c)
      for (int64_t x = 0; x < width; ++x) channels[c][x] = clamp01(channels[c][x] + d[x]);
  });
}

void clarityThunk(PrintImage& print, double amount) { clarity(print, amount); }

void sharpen(PrintImage& print, double amount) {
  if (print.rgb.empty()) return;
  const int64_t width = print.width;
  const PlanePool::Plane lum(luminance(width, print.height, print.rgb));
  const BlurredPlane surround(lum.values(), width, print.height,
                              radius(std::round(longSide(print) / 4000), 1), 2);
  const float k = 1.2f * static_cast<float>(positiveFraction(amount, 150));
  forEachPlanarRow(print, 2, [&, k](int64_t y, float* const* channels, float* scratch) {
    const float* around = surround.row(y, scratch);
    const float* l = lum.data() + y * width;
    float* d = scratch + width;
    for (int64_t x = 0; x < width; ++x) d[x] = clampTo(k * (l[x] - around[x]), -0.2f, 0.2f);
    for (int c = 0; c < 3; ++c)
      for (int64_t x = 0; x < width; ++x) channels[c][x] = clamp01(channels[c][x] + d[x]);
  });
}

void blackMist(PrintImage& print, double amount) {
  if (print.rgb.empty()) return;
  const int64_t width = print.width;
  const int64_t height = print.height;
  const auto s = static_cast<float>(positiveFraction(amount, 100));
  const int64_t near = radius(0.012 * longSide(print), 2);
  const int64_t far = radius(0.035 * longSide(print), 3);
  const PlanePool::Plane lum(luminance(width, height, print.rgb));
  PlanePool::Plane maskSquared(lum.size());
  forEachPixel(width, height, [&](int64_t i) {
    const float m = PixelMath::smoothstep<float>(clamp01((lum[i] - 0.55f) / 0.45f));
    maskSquared[i] = m * m;
  });
  // Per channel: the glow of its highlights at two radii and the softened channel. Each channel
  // is then rewritten from its own planes, all three in one pass.
  std::vector<BlurredPlane> nearGlow, farGlow, softened;
  PlanePool::Plane channel(lum.size());
  PlanePool::Plane source(lum.size());
  for (int c = 0; c < 3; ++c) {
    forEachPixel(width, height, [&](int64_t i) {
      channel[i] = print.rgb[3 * i + c];
      source[i] = maskSquared[i] * channel[i];
    });
    nearGlow.emplace_back(source.values(), width, height, near, 3);
    farGlow.emplace_back(source.values(), width, height, far, 3);
    softened.emplace_back(channel.values(), width, height, near, 2);
  }
  forEachPlanarRow(print, 6, [&, s](int64_t y, float* const* channels, float* scratch) {
    const float* ly = lum.data() + y * width;
    float* alpha = scratch + 3 * width;
    float* lift = scratch + 4 * width;
    for (int64_t x = 0; x < width; ++x) {
      alpha[x] = 0.3f * s * (0.75f * ly[x] + 0.25f);
      lift[x] = 0.012f * s * (1.0f - ly[x]);
    }
    for (int c = 0; c < 3; ++c) {
      const float* nearRow = nearGlow[c].row(y, scratch);
      const float* farRow = farGlow[c].row(y, scratch + width);
      const float* softRow = softened[c].row(y, scratch + 2 * width);
      float* gamma = scratch + 5 * width;
      for (int64_t x = 0; x < width; ++x)
        gamma[x] = minOf(2.0f * s * (0.55f * nearRow[x] + 0.45f * farRow[x]), 1.0f);
      float* v = channels[c];
      for (int64_t x = 0; x < width; ++x) {
        const float u = v[x] + alpha[x] * (softRow[x] - v[x]);
        v[x] = clamp01(lift[x] + 1.0f - (1.0f - u) * (1.0f - gamma[x]));
      }
    }
  });
}

PrintImage border(int64_t width, int64_t height, std::vector<float> rgb, BorderStyle style,
                  double size) {
  if (style != BorderStyle::white && style != BorderStyle::black)
    return PrintImage(width, height, std::move(rgb));
  requirePlaneSize("border", rgb.size(), width, height, 3);
  const double percent = std::isnan(size) ? 0 : std::clamp(size, 0.0, 50.0);
  const auto shortSide = static_cast<double>(std::min(width, height));
  const int64_t b =
      std::max(static_cast<int64_t>(std::round(percent * shortSide / 100)), int64_t{1});

  const int64_t framedWidth = width + 2 * b;
  const int64_t framedHeight = height + 2 * b;
  PrintImage framed(framedWidth, framedHeight,
                    PlanePool::take(static_cast<size_t>(framedWidth * framedHeight * 3)));
  std::fill(framed.rgb.begin(), framed.rgb.end(), style == BorderStyle::white ? 1.0f : 0.0f);
  for (int64_t y = 0; y < height; ++y)
    std::copy_n(rgb.data() + y * width * 3, width * 3, framed.row(y + b) + b * 3);
  return framed;
}

}  // namespace Adjustments
