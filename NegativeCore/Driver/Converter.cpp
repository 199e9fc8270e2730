#include "Driver/Converter.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "Conversion/Analyzer.h"
#include "Conversion/AutoCrop.h"
#include "Conversion/FlatField.h"
#include "Dust/Healer.h"
#include "Finishing/DodgeBurn.h"
#include "Finishing/FilmEffects.h"
#include "Finishing/FilmFrames.h"
#include "Finishing/LocalLayers.h"
#include "Finishing/RedEyeFix.h"
#include "Print/Pipeline.h"
#include "Tone/Adjustments.h"

namespace Converter {

namespace {

// The stages built elsewhere, one call each, in the order process runs them. Each is a single
// seam: a stage whose engine is not part of the library yet leaves its input as it is.

// The scan decoded at scale with the record's turns and mirroring, evened out by the blank frame
// the record names.
LinearImage decodeCorrected(const std::filesystem::path& url, const ConversionSettings& settings,
                            double scale) {
  return FlatField::decodeCorrected(url, settings, scale);
}

// The film frame found on a straightened scan.
AutoCrop::Result detectFrame(const LinearImage& straightened, FilmMode mode) {
  return AutoCrop::detect(straightened, mode);
}

// The measurement with the roll's colour balance.
FilmAnalysis applyRollBalance(const FilmAnalysis& analysis, const RollBalance& balance) {
  return balance.apply(analysis);
}

// Repairs the spots on the unstraightened scan.
void heal(LinearImage& scan, const std::vector<Spot>& spots) { Healer::apply(scan, spots); }

// Where a stage places marks and shapes on the print: the decoded scan's size, the angle and
// the crop the print was cut with.
struct Placement {
  int64_t sourceWidth;
  int64_t sourceHeight;
  double angle;
  NormRect crop;
};

void correctRedEyes(PrintImage& print, const std::vector<RedEye>& marks, const Placement& p) {
  RedEyeFix::apply(print, marks, p.sourceWidth, p.sourceHeight, p.angle, p.crop);
}
void dodgeAndBurn(PrintImage& print, const std::vector<DodgeBurnStroke>& strokes,
                  const Placement& p) {
  DodgeBurn::apply(print, strokes, p.sourceWidth, p.sourceHeight, p.angle, p.crop);
}
void renderLayers(PrintImage& print, const std::vector<LocalLayer>& layers, FilmMode mode,
                  const Placement& p) {
  LocalLayers::apply(print, layers, p.sourceWidth, p.sourceHeight, mode, p.angle, p.crop);
}
void adjustHsl(PrintImage& print, const HSLAdjustments& hsl) {
  HSLAdjustments::apply(print, hsl.hue, hsl.saturation, hsl.luminance);
}
void applyCurves(PrintImage& print, const ToneCurves& curves, bool monochrome) {
  curves.apply(print, monochrome);
}
void applyToneControls(PrintImage& print, const ConversionSettings& settings) {
  Adjustments::apply(print, settings);
}
void applyFilmEffects(PrintImage& print, const ConversionSettings& settings) {
  FilmEffects::apply(print, settings);
}

// A plain white or black border; `none` leaves the print as it is.
PrintImage addPlainBorder(PrintImage print, BorderStyle style, double sizePercent) {
  return Adjustments::border(print.width, print.height, std::move(print.rgb), style, sizePercent);
}
// The print composited into the film-holder frame with this id, when there is one that may be
// used for the film mode; otherwise the print as it is.
PrintImage frameInFilmHolder(PrintImage print, const std::string& frameId, FilmMode mode) {
  const auto frame = FilmFrames::frame(frameId);
  if (!frame || !frame->isAvailable(mode)) return print;
  return FilmFrames::composite(std::move(print), frameId);
}

double secondsBetween(std::chrono::steady_clock::time_point from,
                      std::chrono::steady_clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// The region the film is measured in: the detected frame whenever there is one, even under a
// stored crop; otherwise the crop the edit prints with.
NormRect measuredRegion(const LinearImage& straightened, const ConversionSettings& settings,
                        const FrameCrop& printed) {
  if (!settings.crop) return printed.rect;
  ConversionSettings detecting = settings;
  detecting.crop.reset();
  detecting.autoCrop = true;
  const FrameCrop detected = frameCrop(straightened, detecting);
  return detected.autoCropped ? detected.rect : printed.rect;
}

}  // namespace

Result convert(const std::filesystem::path& url, const ConversionSettings& settings, double scale,
               double analysisScale) {
  const auto t0 = std::chrono::steady_clock::now();
  LinearImage render = decodeCorrected(url, settings, scale);
  std::chrono::steady_clock::time_point t1;
  FilmAnalysis analysis;
  {
    const LinearImage measured =
        scale <= analysisScale ? render : decodeCorrected(url, settings, analysisScale);
    t1 = std::chrono::steady_clock::now();
    analysis = analyze(measured, settings);
  }
  PrintImage print = process(std::move(render), analysis, settings, true, true);
  const auto t2 = std::chrono::steady_clock::now();
  return {std::move(print), analysis, secondsBetween(t0, t1), secondsBetween(t1, t2)};
}

FilmAnalysis analyze(const LinearImage& scan, const ConversionSettings& settings) {
  const LinearImage straightened =
      Geometry::straightenAndCrop(scan, settings.skewDegrees, NormRect::full);
  const FrameCrop printed = frameCrop(straightened, settings);
  const NormRect region = measuredRegion(straightened, settings, printed);
  const LinearImage cut = Geometry::straightenAndCrop(straightened, 0, region);
  FilmAnalysis analysis = Analyzer::analyze(cut, settings, 1'000'000);
  if (settings.rollBalance && settings.mode != FilmMode::bwNegative)
    analysis = applyRollBalance(analysis, *settings.rollBalance);
  analysis.crop = printed.rect;
  analysis.autoCropped = printed.autoCropped;
  return analysis;
}

FilmAnalysis analyzeWithoutRollBalance(const LinearImage& scan,
                                       const ConversionSettings& settings) {
  ConversionSettings unbalanced = settings;
  unbalanced.rollBalance.reset();
  return analyze(scan, unbalanced);
}

FrameCrop frameCrop(const LinearImage& straightened, const ConversionSettings& settings) {
  constexpr double minimumSide = 0.02;
  if (settings.crop) return {settings.crop->clamped(minimumSide), false};
  if (!settings.autoCrop) return {NormRect::full, false};
  const AutoCrop::Result frame = detectFrame(straightened, settings.mode);
  if (!frame.found) return {NormRect::full, false};
  // The margin takes NaN as 0, like any other value below the range.
  const double margin = std::min(settings.autoCropMargin > 0 ? settings.autoCropMargin : 0.0, 0.1);
  return {frame.rect.inset(margin).clamped(minimumSide), true};
}

PrintImage process(LinearImage scan, const FilmAnalysis& analysis,
                   const ConversionSettings& settings, bool applyCrop, bool addBorder) {
  const bool mono = settings.mode == FilmMode::bwNegative;
  const Placement placement{scan.width(), scan.height(), settings.skewDegrees,
                            applyCrop ? analysis.crop : NormRect::full};

  LinearImage cut = [&] {
    LinearImage healed = std::move(scan);
    if (!settings.spots.empty()) heal(healed, settings.spots);
    return Geometry::straightenAndCrop(healed, placement.angle, placement.crop);
  }();
  PrintImage print = Pipeline::render(std::move(cut), analysis, settings);

  if (!mono && !settings.redEyes.empty()) correctRedEyes(print, settings.redEyes, placement);
  if (!settings.dodgeBurn.empty()) dodgeAndBurn(print, settings.dodgeBurn, placement);
  if (!settings.layers.empty()) renderLayers(print, settings.layers, settings.mode, placement);
  if (!mono) adjustHsl(print, settings.hsl);
  applyCurves(print, settings.curves, mono);
  applyToneControls(print, settings);
  applyFilmEffects(print, settings);
  if (addBorder && applyCrop) {
    print = settings.border == BorderStyle::film
                ? frameInFilmHolder(std::move(print), settings.borderFrame, settings.mode)
                : addPlainBorder(std::move(print), settings.border, settings.borderSize);
  }
  return print;
}

}  // namespace Converter
