// A negative as a camera scan of film shows it, with nothing softened: a bright light-table
// surround, the clear film border with its sprocket holes, and a frame filled with hard-edged
// neutral grey steps, thin steps beside dense ones. Colour (orange mask) or black-and-white, as
// a Bayer DNG or a 16-bit TIFF; and the neutrality of an exported print of it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

#include "Record/NormRect.h"
#include "TestSupport/ScanFixtures.h"

struct HardEdgedNegative {
  int64_t width = 1224;
  int64_t height = 816;
  bool blackAndWhite = false;

  static constexpr int steps = 12;
  static constexpr double surroundFraction = 0.05;  // of each side, bare light
  static constexpr double filmEdgeFraction = 0.12;  // the frame begins here on each side
  static constexpr float lightTable = 0.9f;         // linear value of the bare light

  // Density of grey step k (0 thinnest) in channel c: base + gamma · log exposure.
  double stepDensity(int step, int channel) const;
  double baseDensity(int channel) const;
  // Step k's patch in normalised coordinates; patches tile the frame in two rows of six.
  NormRect stepRect(int step) const;
  // Linear transmissions (the light table's value for bare light).
  ScanFixtures::Pattern pattern() const;
};

void writeHardEdgedDng(const std::filesystem::path& path, const HardEdgedNegative& negative);
void writeHardEdgedTiff(const std::filesystem::path& path, const HardEdgedNegative& negative);

// The mean CIELAB chroma C* (D50) over the middles of the grey steps of a print of the whole
// scan (uncropped, no border), read from a 16-bit RGB TIFF through its embedded ICC profile.
// Throws std::runtime_error when the file cannot be read.
double meanGreyChroma(const std::filesystem::path& tiff, const HardEdgedNegative& negative);
