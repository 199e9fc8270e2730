#include "Tone/Adjustments.h"

#include <algorithm>
#include <cmath>

#include "Record/ConversionSettings.h"
#include "Support/ParallelFor.h"
#include "Tone/BoxBlur.h"
#include "Tone/Luminance.h"
#include "Tone/PlaneCheck.h"

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

float smoothstep(float t) { return t * t * (3.0f - 2.0f * t); }
float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Runs body(i) for every pixel index of rows split over the worker pool.
template <class Body>
void forEachPixel(int64_t width, int64_t height, const Body& body) {
  parallelForRows(
      height,
      [&](int64_t begin, int64_t end) {
        for (int64_t i = begin * width; i < end * width; ++i) body(i);
      },
      smallPlaneRows(width, height));
}

Plane channelPlane(const PrintImage& print, int channel) {
  Plane plane(static_cast<size_t>(print.width * print.height));
  forEachPixel(print.width, print.height,
               [&](int64_t i) { plane[i] = print.rgb[3 * i + channel]; });
  return plane;
}

Plane blur(const Plane& plane, const PrintImage& print, int64_t r, int64_t passes) {
  return boxBlur(plane, print.width, print.height, r, passes);
}

// Guided filter of the luminance by itself: the edge-preserving smoothed luminance q.
Plane guidedLuminance(const Plane& lum, const PrintImage& print, int64_t r, float s) {
  const size_t n = lum.size();
  Plane squares(n);
  for (size_t i = 0; i < n; ++i) squares[i] = lum[i] * lum[i];
  const Plane mean = blur(lum, print, r, 1);
  const Plane meanOfSquares = blur(squares, print, r, 1);
  const float epsilon = (0.055f * s) * (0.055f * s) + 0.000001f;
  Plane a(n);
  Plane b(n);
  for (size_t i = 0; i < n; ++i) {
    const float variance = std::max(meanOfSquares[i] - mean[i] * mean[i], 0.0f);
    a[i] = variance / (variance + epsilon);
    b[i] = mean[i] - a[i] * mean[i];
  }
  const Plane meanA = blur(a, print, r, 1);
  const Plane meanB = blur(b, print, r, 1);
  Plane smoothed(n);
  for (size_t i = 0; i < n; ++i) smoothed[i] = meanA[i] * lum[i] + meanB[i];
  return smoothed;
}

// The haze level: a high percentile of a sparse sample of the luminance, at least 0.5.
float hazeLevel(const Plane& lum) {
  const size_t n = lum.size();
  const size_t step = n < 20000 ? 1 : n / 20000;
  Plane samples;
  samples.reserve(n / step + 1);
  for (size_t i = 0; i < n; i += step) samples.push_back(lum[i]);
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
  const double s = positiveFraction(amount, 100);
  const int64_t r = radius(longSide(print) * 0.0012 * (1 + s), 1);
  const auto sf = static_cast<float>(s);
  const Plane lum = luminance(print.width, print.height, print.rgb);
  const Plane smoothed = guidedLuminance(lum, print, r, sf);

  if (monochrome) {
    forEachPixel(print.width, print.height, [&](int64_t i) {
      const float change = smoothed[i] - lum[i];
      for (int c = 0; c < 3; ++c) print.rgb[3 * i + c] = clamp01(print.rgb[3 * i + c] + change);
    });
    return;
  }
  // Each channel's chroma (c − L) is smoothed on its own; the channel is then rewritten from
  // its own values only, so the channels can be done one after another.
  const float chromaWeight = 0.8f * sf;
  for (int c = 0; c < 3; ++c) {
    Plane chroma(lum.size());
    forEachPixel(print.width, print.height,
                 [&](int64_t i) { chroma[i] = print.rgb[3 * i + c] - lum[i]; });
    const Plane smoothChroma = blur(chroma, print, std::max<int64_t>(2 * r, 1), 2);
    forEachPixel(print.width, print.height, [&](int64_t i) {
      float& v = print.rgb[3 * i + c];
      v = clamp01(v + (smoothed[i] - lum[i]) + chromaWeight * (smoothChroma[i] - chroma[i]));
    });
  }
}

void dehaze(PrintImage& print, double amount) {
  if (print.rgb.empty()) return;
  const Plane lum = luminance(print.width, print.height, print.rgb);
  const float haze = hazeLevel(lum);
  const auto s = static_cast<float>(signedFraction(amount));

  if (s > 0) {
    Plane dark(lum.size());
    forEachPixel(print.width, print.height, [&](int64_t i) {
      const float* p = &print.rgb[3 * i];
      dark[i] = std::min({p[0], p[1], p[2]});
    });
    const Plane darkBlurred = blur(dark, print, radius(0.015 * longSide(print), 2), 2);
    forEachPixel(print.width, print.height, [&](int64_t i) {
      const float t = std::max(1.0f - 0.9f * s * darkBlurred[i] / haze, 0.3f);
      for (int c = 0; c < 3; ++c) {
        float& v = print.rgb[3 * i + c];
        v = clamp01(haze + (v - haze) / t);
      }
    });
  } else {
    // Adding haze pulls toward a veil just below the haze level, more in the dark areas.
    const float veil = 0.92f * haze;
    forEachPixel(print.width, print.height, [&](int64_t i) {
      const float k = -0.55f * s * (0.65f * (1.0f - lum[i]) + 0.35f);
      for (int c = 0; c < 3; ++c) {
        float& v = print.rgb[3 * i + c];
        v = v + k * (veil - v);
      }
    });
  }
}

void toneRegions(PrintImage& print, double highlights, double shadows, double whites,
                 double blacks) {
  if (print.rgb.empty()) return;
  const auto h = static_cast<float>(highlights / 100);
  const auto sh = static_cast<float>(shadows / 100);
  const auto w = static_cast<float>(whites / 100);
  const auto b = static_cast<float>(blacks / 100);
  const float kH = h < 0 ? 0.3f : 0.22f;

  const Plane lum = luminance(print.width, print.height, print.rgb);
  const Plane surround = blur(lum, print, radius(0.012 * longSide(print), 0), 2);
  forEachPixel(print.width, print.height, [&](int64_t i) {
    const float l = lum[i];
    const float g = 0.4f * l + 0.6f * surround[i];
    const float mW = smoothstep(clamp01((l - 0.65f) / (1.0f - 0.65f)));
    const float mH = smoothstep(clamp01(2.0f * (g - 0.45f)));
    const float mS = 1.0f - smoothstep(clamp01(2.0f * (g - 0.05f)));
    const float mB = 1.0f - smoothstep(clamp01(l / 0.35f));
    const float delta = 0.16f * w * mW + kH * h * mH + 0.28f * sh * mS + 0.14f * b * mB;
    // Bright pixels are scaled (hue kept), near-black ones shifted, the range between blended.
    const float ratio = l > 0.0001f ? clamp01(l + delta) / l : 1.0f;
    const float u = smoothstep(clamp01((l - 0.02f) / (0.15f - 0.02f)));
    for (int c = 0; c < 3; ++c) {
      float& v = print.rgb[3 * i + c];
      v = clamp01(u * ratio * v + (1.0f - u) * (v + delta));
    }
  });
}

void clarity(PrintImage& print, double amount) {
  if (print.rgb.empty()) return;
  const Plane lum = luminance(print.width, print.height, print.rgb);
  const Plane surround =
      boxBlurFullSize(lum, print.width, print.height, radius(0.006 * longSide(print), 2), 3);
  const float v = 1.1f * static_cast<float>(signedFraction(amount));
  forEachPixel(print.width, print.height, [&](int64_t i) {
    const float l = lum[i];
    const float t = 2.0f * l - 1.0f;
    const float midtones = std::max(0.0f, 1.0f - t * t);
    const float d = std::clamp(v * (l - surround[i]) * midtones, -0.25f, 0.25f);
    for (int c = 0; c < 3; ++c) print.rgb[3 * i + c] = clamp01(print.rgb[3 * i + c] + d);
  });
}

void clarityThunk(PrintImage& print, double amount) { clarity(print, amount); }

void sharpen(PrintImage& print, double amount) {
  if (print.rgb.empty()) return;
  const Plane lum = luminance(print.width, print.height, print.rgb);
  const Plane surround = blur(lum, print, radius(std::round(longSide(print) / 4000), 1), 2);
  const float k = 1.2f * static_cast<float>(positiveFraction(amount, 150));
  forEachPixel(print.width, print.height, [&](int64_t i) {
    const float d = std::clamp(k * (lum[i] - surround[i]), -0.2f, 0.2f);
    for (int c = 0; c < 3; ++c) print.rgb[3 * i + c] = clamp01(print.rgb[3 * i + c] + d);
  });
}

void blackMist(PrintImage& print, double amount) {
  if (print.rgb.empty()) return;
  const auto s = static_cast<float>(positiveFraction(amount, 100));
  const int64_t near = radius(0.012 * longSide(print), 2);
  const int64_t far = radius(0.035 * longSide(print), 3);
  const Plane lum = luminance(print.width, print.height, print.rgb);
  Plane maskSquared(lum.size());
  for (size_t i = 0; i < lum.size(); ++i) {
    const float m = smoothstep(clamp01((lum[i] - 0.55f) / 0.45f));
    maskSquared[i] = m * m;
  }
  // Each channel is rewritten from its own glow and softened plane only.
  for (int c = 0; c < 3; ++c) {
    const Plane channel = channelPlane(print, c);
    Plane source(lum.size());
    for (size_t i = 0; i < lum.size(); ++i) source[i] = maskSquared[i] * channel[i];
    const Plane nearGlow = blur(source, print, near, 3);
    const Plane farGlow = blur(source, print, far, 3);
    const Plane softened = blur(channel, print, near, 2);
    forEachPixel(print.width, print.height, [&](int64_t i) {
      const float l = lum[i];
      const float v = channel[i];
      const float glow = 0.55f * nearGlow[i] + 0.45f * farGlow[i];
      const float alpha = 0.3f * s * (0.75f * l + 0.25f);
      const float u = v + alpha * (softened[i] - v);
      const float gamma = std::min(2.0f * s * glow, 1.0f);
      print.rgb[3 * i + c] = clamp01(0.012f * s * (1.0f - l) + 1.0f - (1.0f - u) * (1.0f - gamma));
    });
  }
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

  PrintImage framed(width + 2 * b, height + 2 * b);
  if (style == BorderStyle::white) std::fill(framed.rgb.begin(), framed.rgb.end(), 1.0f);
  for (int64_t y = 0; y < height; ++y)
    std::copy_n(rgb.data() + y * width * 3, width * 3, framed.row(y + b) + b * 3);
  return framed;
}

}  // namespace Adjustments
