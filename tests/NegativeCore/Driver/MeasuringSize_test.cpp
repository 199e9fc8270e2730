// The film measurement does not depend on the size it is measured at: hard edges, the sprocket
// holes and the light table around the strip must not move the base or the dense end, whether
// the scan is developed in full, binned to half size, shrunk to a quarter or to a thumbnail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "Driver/Converter.h"
#include "Conversion/Decoder.h"
#include "Driver/ExportScan.h"
#include "TestSupport/HardEdgedNegative.h"
#include "TestSupport/TempDir.h"

namespace {

struct Measured {
  FilmAnalysis analysis;
  double chroma;  // mean C* of the exported grey steps
};

// Measures the scan on a decode at measuringScale and exports it in full as an Adobe RGB TIFF.
Measured measureAndExport(const std::filesystem::path& scan, const HardEdgedNegative& negative,
                          double measuringScale, const std::filesystem::path& out) {
  const ConversionSettings settings;
  const FilmAnalysis analysis =
      Converter::analyze(Decoder::decode(scan, 0, false, measuringScale), settings);
  ExportOptions options;
  options.colorSpace = ExportColorSpace::adobeRGB;
  const auto written =
      Converter::exportScan(scan, settings, analysis, {ExportFormat::tiff16}, out, true, options);
  return {analysis, meanGreyChroma(written.at(0), negative)};
}

std::string channels(const std::array<double, 3>& values) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f %.3f %.3f", values[0], values[1], values[2]);
  return text;
}

// Every measuring size of one scan: neutral steps, and the same base and dense end.
void expectTheSameAtEverySize(const HardEdgedNegative& negative, const char* extension) {
  TempDir dir;
  std::filesystem::create_directory(dir / "out");
  const auto scan = dir / (std::string("neg.") + extension);
  if (std::string(extension) == "dng") {
    writeHardEdgedDng(scan, negative);
  } else {
    writeHardEdgedTiff(scan, negative);
  }
  const double longSide = static_cast<double>(std::max(negative.width, negative.height));
  const double scales[] = {1.0, 0.5, 0.25, 320 / longSide};
  std::array<double, 3> lowest{9, 9, 9}, highest{-9, -9, -9};  // of dMin, then dMax
  std::array<double, 3> lowestEnd{9, 9, 9}, highestEnd{-9, -9, -9};
  for (const double scale : scales) {
    const Measured m = measureAndExport(scan, negative, scale, dir / "out");
    const std::string row = std::to_string(negative.width) +
                            (negative.blackAndWhite ? " bw " : " colour ") + extension + " at " +
                            std::to_string(scale) + ": C* " + std::to_string(m.chroma) + ", base " +
                            channels(m.analysis.dMin) + ", dense end " + channels(m.analysis.dMax);
    SCOPED_TRACE(row);
    std::printf("%s\n", row.c_str());
    EXPECT_LE(m.chroma, 1.0);
    for (int c = 0; c < 3; ++c) {
      lowest[c] = std::min(lowest[c], m.analysis.dMin[c]);
      highest[c] = std::max(highest[c], m.analysis.dMin[c]);
      lowestEnd[c] = std::min(lowestEnd[c], m.analysis.dMax[c]);
      highestEnd[c] = std::max(highestEnd[c], m.analysis.dMax[c]);
    }
  }
  std::array<double, 3> baseSpread{}, endSpread{};
  for (int c = 0; c < 3; ++c) {
    baseSpread[c] = highest[c] - lowest[c];
    endSpread[c] = highestEnd[c] - lowestEnd[c];
  }
  std::printf("spread: base %s, dense end %s\n", channels(baseSpread).c_str(),
              channels(endSpread).c_str());
}

TEST(MeasuringSize, HardEdgedScansPrintNeutralGreysAtEveryMeasuringSize) {
  for (const bool blackAndWhite : {false, true})
    for (const char* extension : {"dng", "tif"}) {
      HardEdgedNegative negative;
      negative.blackAndWhite = blackAndWhite;
      expectTheSameAtEverySize(negative, extension);
    }
}

// The same at 24 megapixels, where the measuring decodes take the binned half-size road of a raw
// file. Slow (a minute): run by hand with --gtest_also_run_disabled_tests.
TEST(MeasuringSize, DISABLED_LargeScansPrintNeutralGreysAtEveryMeasuringSize) {
  for (const bool blackAndWhite : {false, true})
    for (const char* extension : {"dng", "tif"}) {
      HardEdgedNegative negative;
      negative.width = 6000;
      negative.height = 4000;
      negative.blackAndWhite = blackAndWhite;
      expectTheSameAtEverySize(negative, extension);
    }
}

// On decodes a few dozen pixels long, the steps are a handful of pixels wide and every one of
// them lies beside an edge; the dense end is still the densest step's. (The base is not tested
// here: at these sizes the clear border is a pixel or two wide and blends with the light table.)
TEST(MeasuringSize, TinyDecodesFindTheSameDenseEnd) {
  for (const char* extension : {"dng", "tif"}) {
    TempDir dir;
    const HardEdgedNegative negative;
    const auto scan = dir / (std::string("neg.") + extension);
    if (std::string(extension) == "dng") {
      writeHardEdgedDng(scan, negative);
    } else {
      writeHardEdgedTiff(scan, negative);
    }
    const ConversionSettings settings;
    const FilmAnalysis full = Converter::analyze(Decoder::decode(scan, 0, false, 1), settings);
    for (const double longSide : {200.0, 120.0, 64.0}) {
      SCOPED_TRACE(std::string(extension) + " at " + std::to_string(longSide));
      const double scale = longSide / static_cast<double>(negative.width);
      const FilmAnalysis tiny =
          Converter::analyze(Decoder::decode(scan, 0, false, scale), settings);
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(tiny.dMax[c], full.dMax[c], 0.01) << "channel " << c;
    }
  }
}

}  // namespace
