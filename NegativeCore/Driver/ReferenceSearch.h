// One reference match as a search: the scan with its analysis, the placed reference and what
// every print is compared with (fixed once set up), and the best record so far with its error.
// ReferenceMatch::match runs one; benchmarks read how many prints it made.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "Conversion/FilmAnalysis.h"
#include "Conversion/LinearImage.h"
#include "Driver/ReferenceMatch.h"
#include "MeasuringAids/ReferenceMeasures.h"
#include "Print/PrintImage.h"
#include "Record/ConversionSettings.h"

class ReferenceSearch {
 public:
  // Measures the scan, prints the starting record, draws the reference at the print's long side,
  // places it and fixes the sample points (flat areas of the reference) when it shows the same
  // picture.
  ReferenceSearch(const LinearImage& scan, const ConversionSettings& settings,
                  const ReferencePicture& reference);

  // The slider descent, the rounding, the channel curves and, for the same picture, the fine
  // sliders, the curve refits and the hue bands. Runs once.
  ReferenceMatch::Result run(const ReferenceMatch::Progress& progress);

  // Prints made so far, the starting print included.
  int64_t printCount() const { return printCount_; }

 private:
  // The points of a 42 × 42 grid over the print where the placed reference is flat (luma
  // deviation below 0.06), with the reference's colours there.
  void keepFlatSamplePoints();
  PrintImage print(const ConversionSettings& settings);
  double error(const PrintImage& print) const;
  // Prints and measures the candidate; it becomes the best when its error is below the best
  // error less the margin.
  bool tryCandidate(const ConversionSettings& candidate, double margin);

  void descendSliders(const ReferenceMatch::Progress& progress);
  bool stepWhileWinning(size_t slider, double direction, double step);
  void roundSliders();
  void fitChannelCurves();
  void fineSliders();
  void refitCurves();
  void tuneHueBands();
  // Paired colours of the best print and the reference, one list per channel each.
  std::array<std::vector<float>, 6> channelPairs(const PrintImage& print) const;
  void debugLine(const std::string& line) const;

  LinearImage scan_;  // shares the caller's pixels
  FilmAnalysis analysis_;
  ReferenceMatch::Placement placement_;
  bool samePicture_ = false;
  std::vector<ReferenceMatch::SamplePoint> points_;
  std::vector<ReferenceMatch::Color> referenceColors_;
  ReferenceMatch::Quantiles referenceOpponents_;
  ReferenceMatch::Quantiles referenceChannels_;
  double before_ = 0;

  ConversionSettings best_;
  PrintImage bestPrint_;
  double bestError_ = 0;
  bool debug_ = false;
  int64_t printCount_ = 0;
};
