#include "Driver/ReferenceSearch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Driver/Converter.h"
#include "Support/NumberText.h"

using namespace ReferenceMatch;

namespace {

struct Slider {
  double ConversionSettings::*field;
  double lower;
  double upper;
  double firstStep;
};

// The sliders the match moves, in the order it visits them.
constexpr std::array<Slider, 9> sliders{{
    {&ConversionSettings::exposure, -2, 2, 0.4},
    {&ConversionSettings::contrast, 0.6, 1.6, 0.15},
    {&ConversionSettings::temperature, -100, 100, 24},
    {&ConversionSettings::tint, -100, 100, 24},
    {&ConversionSettings::highlights, -100, 100, 30},
    {&ConversionSettings::shadows, -100, 100, 30},
    {&ConversionSettings::whites, -100, 100, 30},
    {&ConversionSettings::blacks, -100, 100, 30},
    {&ConversionSettings::saturation, 0.5, 1.6, 0.15},
}};

using Steps = std::array<double, sliders.size()>;

Steps firstSteps(double factor) {
  Steps steps;
  for (size_t i = 0; i < sliders.size(); ++i) steps[i] = sliders[i].firstStep * factor;
  return steps;
}

void halve(Steps& steps) {
  for (double& step : steps) step /= 2;
}

constexpr double margin = 1e-5;
constexpr double lastStageMargin = 1e-4;
constexpr double sameCorrelation = 0.55;
constexpr int sampleGrid = 42;
constexpr double sampleRadius = 0.006;
constexpr double flatDeviation = 0.06;
constexpr int maxSweeps = 60;
constexpr int maxHalvings = 5;
constexpr int maxRefits = 4;

// The slider value one step away, within the slider's bounds; a value that is not a number
// counts as the lower bound.
double steppedValue(const Slider& slider, double value, double delta) {
  const double moved = value + delta;
  return std::isnan(moved) ? slider.lower : std::clamp(moved, slider.lower, slider.upper);
}

double roundedTo(double value, double unitsPerWhole) {
  return std::round(value * unitsPerWhole) / unitsPerWhole;
}

ToneCurve& channelCurve(ToneCurves& curves, int channel) {
  return channel == 0 ? curves.red : channel == 1 ? curves.green : curves.blue;
}

// The fitted correction s applied after the curve already in place, sampled at the fitting's
// x positions, kept rising by at least 0.002 a point and at most 1.
CurvePoints composed(const ToneCurve& current, const CurvePoints& correction) {
  static const std::array<double, 7> xs{0, 0.12, 0.28, 0.45, 0.62, 0.8, 1};
  const ToneCurve after{correction};
  std::array<double, 7> ys;
  for (size_t i = 0; i < xs.size(); ++i) {
    const double y = after.value(current.value(xs[i]));
    ys[i] = y <= 0 ? 0 : roundedTo(std::min(y, 1.0), 1000);
  }
  for (size_t i = 1; i < ys.size(); ++i) ys[i] = std::max(ys[i], ys[i - 1] + 0.002);
  CurvePoints points;
  for (size_t i = 0; i < xs.size(); ++i) points.push_back({xs[i], std::min(ys[i], 1.0)});
  return points;
}

}  // namespace

ReferenceSearch::ReferenceSearch(const LinearImage& scan, const ConversionSettings& settings,
                                 const ReferencePicture& reference)
    : scan_(scan), analysis_(Converter::analyze(scan, settings)), best_(settings) {
  bestPrint_ = print(settings);
  const int64_t longSide = std::max(bestPrint_.width, bestPrint_.height);
  placement_ = place(bestPrint_, renderReference(reference, longSide));
  samePicture_ = placement_.correlation > sameCorrelation;

  if (samePicture_) keepFlatSamplePoints();
  // Without a flat area to compare at, every colour error would be 0 and any match would look
  // perfect: compare the distributions instead.
  if (points_.empty()) samePicture_ = false;
  if (!samePicture_) {
    referenceOpponents_ = opponentQuantiles(placement_.reference);
    referenceChannels_ = channelQuantiles(placement_.reference);
  }
  before_ = error(bestPrint_);
  bestError_ = before_;
}

void ReferenceSearch::keepFlatSamplePoints() {
  for (int j = 1; j <= sampleGrid; ++j) {
    for (int k = 1; k <= sampleGrid; ++k) {
      const SamplePoint point{(k + 0.5) / (sampleGrid + 2), (j + 0.5) / (sampleGrid + 2)};
      const SampleMean sample =
          sampleMean(placement_.reference, placement_.x + placement_.w * point.x,
                     placement_.y + placement_.h * point.y, sampleRadius);
      if (!(sample.lumaDeviation < flatDeviation)) continue;
      points_.push_back(point);
      referenceColors_.push_back(sample.mean);
    }
  }
}

Result ReferenceSearch::run(const Progress& progress) {
  const auto report = [&](double value) {
    if (progress) progress(value);
  };
  debug_ = std::getenv("KELVADORIUM_MATCH_DEBUG") != nullptr;
  debugLine("match: corr " + NumberText::fixed(placement_.correlation, 3) + " place " +
            NumberText::fixed(placement_.x, 3) + " " + NumberText::fixed(placement_.y, 3) + " " +
            NumberText::fixed(placement_.w, 3) + " " + NumberText::fixed(placement_.h, 3) +
            " samples " + std::to_string(points_.size()) + " before " +
            NumberText::fixed(before_, 4));
  report(0.1);

  descendSliders(progress);
  roundSliders();
  fitChannelCurves();
  report(0.75);

  if (samePicture_) {
    fineSliders();
    refitCurves();
    tuneHueBands();
  }
  report(1);
  return {best_, before_, bestError_, samePicture_};
}

PrintImage ReferenceSearch::print(const ConversionSettings& settings) {
  ++printCount_;
  return Converter::process(scan_, analysis_, settings, true, false);
}

double ReferenceSearch::error(const PrintImage& print) const {
  if (samePicture_) return colorError(samplePrint(print, points_), referenceColors_);
  return statisticsError(opponentQuantiles(print), referenceOpponents_);
}

bool ReferenceSearch::tryCandidate(const ConversionSettings& candidate, double winMargin) {
  PrintImage candidatePrint = print(candidate);
  const double candidateError = error(candidatePrint);
  if (!(candidateError < bestError_ - winMargin)) return false;
  best_ = candidate;
  bestPrint_ = std::move(candidatePrint);
  bestError_ = candidateError;
  return true;
}

void ReferenceSearch::descendSliders(const Progress& progress) {
  Steps steps = firstSteps(1);
  int halvings = 0;
  for (int sweep = 0; sweep < maxSweeps && halvings < maxHalvings; ++sweep) {
    bool won = false;
    for (size_t i = 0; i < sliders.size(); ++i) {
      // Downward only when upward brought nothing.
      const bool up = stepWhileWinning(i, 1, steps[i]);
      won = up || stepWhileWinning(i, -1, steps[i]) || won;
    }
    if (!won) {
      halve(steps);
      ++halvings;
    }
    if (progress) progress(0.1 + halvings / 10.0);
  }
}

bool ReferenceSearch::stepWhileWinning(size_t slider, double direction, double step) {
  const Slider& s = sliders[slider];
  bool won = false;
  while (true) {
    const double current = best_.*s.field;
    const double value = steppedValue(s, current, direction * step);
    if (value == current) break;
    ConversionSettings candidate = best_;
    candidate.*s.field = value;
    if (!tryCandidate(candidate, margin)) break;
    won = true;
  }
  return won;
}

void ReferenceSearch::roundSliders() {
  ConversionSettings rounded = best_;
  for (double ConversionSettings::*field :
       {&ConversionSettings::exposure, &ConversionSettings::contrast,
        &ConversionSettings::saturation})
    rounded.*field = roundedTo(rounded.*field, 100);
  using Field = double ConversionSettings::*;
  for (Field field :
       std::initializer_list<Field>{&ConversionSettings::temperature, &ConversionSettings::tint,
                                    &ConversionSettings::highlights, &ConversionSettings::shadows,
                                    &ConversionSettings::whites, &ConversionSettings::blacks})
    rounded.*field = std::round(rounded.*field);
  if (rounded != best_) {
    best_ = rounded;
    bestPrint_ = print(best_);
    bestError_ = error(bestPrint_);
  }
  debugLine("match: after sliders " + NumberText::fixed(bestError_, 4));
}

std::array<std::vector<float>, 6> ReferenceSearch::channelPairs(const PrintImage& print) const {
  std::array<std::vector<float>, 6> pairs;
  const auto split = [&](const std::vector<Color>& colors, size_t first) {
    for (int c = 0; c < 3; ++c) {
      pairs[first + c].reserve(colors.size());
      for (const Color& color : colors) pairs[first + c].push_back(color[c]);
    }
  };
  if (samePicture_) {
    split(samplePrint(print, points_), 0);
    split(referenceColors_, 3);
  } else {
    const Quantiles printChannels = channelQuantiles(print);
    for (int c = 0; c < 3; ++c) {
      pairs[c] = printChannels[c];
      pairs[3 + c] = referenceChannels_[c];
    }
  }
  return pairs;
}

void ReferenceSearch::fitChannelCurves() {
  ConversionSettings base = best_;
  for (int c = 0; c < 3; ++c) channelCurve(base.curves, c) = ToneCurve{};
  const std::array<std::vector<float>, 6> pairs = channelPairs(print(base));
  std::array<CurvePoints, 3> fitted;
  for (int c = 0; c < 3; ++c) fitted[c] = fitCurve(pairs[c], pairs[3 + c]);

  for (double strength : {1.0, 0.6, 0.3}) {
    ConversionSettings candidate = base;
    for (int c = 0; c < 3; ++c)
      channelCurve(candidate.curves, c).points = scaledCurve(fitted[c], strength);
    PrintImage candidatePrint = print(candidate);
    const double candidateError = error(candidatePrint);
    debugLine("match: curves at " + NumberText::fixed(strength * 100, 0) + "% " +
              NumberText::fixed(candidateError, 4) + " (now " + NumberText::fixed(bestError_, 4) +
              ")");
    if (candidateError < bestError_ - margin) {
      best_ = std::move(candidate);
      bestPrint_ = std::move(candidatePrint);
      bestError_ = candidateError;
    }
  }
}

void ReferenceSearch::fineSliders() {
  Steps steps = firstSteps(0.25);
  for (int round = 0; round < 3; ++round) {
    bool won = false;
    for (size_t i = 0; i < sliders.size(); ++i) {
      const Slider& s = sliders[i];
      for (double direction : {1.0, -1.0}) {
        const double value = steppedValue(s, best_.*s.field, direction * steps[i]);
        if (value == best_.*s.field) continue;
        ConversionSettings candidate = best_;
        candidate.*s.field = value;
        if (tryCandidate(candidate, margin)) {
          won = true;
          break;
        }
      }
    }
    if (!won) halve(steps);
  }
}

void ReferenceSearch::refitCurves() {
  for (int refit = 0; refit < maxRefits; ++refit) {
    const std::array<std::vector<float>, 6> pairs = channelPairs(bestPrint_);
    ConversionSettings candidate = best_;
    for (int c = 0; c < 3; ++c) {
      const CurvePoints correction = scaledCurve(fitCurve(pairs[c], pairs[3 + c]), 0.6);
      ToneCurve& curve = channelCurve(candidate.curves, c);
      curve.points =
          curve.points.empty() || curve.isIdentity() ? correction : composed(curve, correction);
    }
    if (!tryCandidate(candidate, margin)) return;
  }
}

void ReferenceSearch::tuneHueBands() {
  constexpr size_t bands = 8;
  for (int round = 0; round < 2; ++round) {
    for (size_t band = 0; band < bands; ++band) {
      for (std::vector<double> HSLAdjustments::*values :
           {&HSLAdjustments::saturation, &HSLAdjustments::luminance}) {
        for (double amount : {20.0, 8.0}) {
          for (double sign : {1.0, -1.0}) {
            ConversionSettings candidate = best_;
            std::vector<double>& list = candidate.hsl.*values;
            if (list.size() < bands) list.resize(bands, 0.0);
            const double value = std::clamp(list[band] + sign * amount, -100.0, 100.0);
            // A band already at its bound gives the record itself, which cannot win.
            if (value == list[band]) continue;
            list[band] = value;
            tryCandidate(candidate, lastStageMargin);
          }
        }
      }
    }
  }
}

void ReferenceSearch::debugLine(const std::string& line) const {
  if (!debug_) return;
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}
