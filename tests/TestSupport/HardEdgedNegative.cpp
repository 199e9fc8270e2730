#include "TestSupport/HardEdgedNegative.h"

#include <lcms2.h>

#include <cmath>
#include <memory>
#include <stdexcept>

#include "TestSupport/ImageFiles.h"

namespace {

// Thin and dense steps alternate, so the densest patch borders the thinnest ones.
constexpr int patchOrder[2][6] = {{0, 11, 2, 9, 4, 7}, {10, 1, 8, 3, 6, 5}};

constexpr double firstLogExposure = 0.1;
constexpr double logExposureStep = 0.25;

bool inside(const NormRect& r, double u, double v) {
  return u >= r.x && u < r.x + r.w && v >= r.y && v < r.y + r.h;
}

// Sprocket holes: bare light in the outer part of the border above and below the frame, clear
// of the region the film is measured in.
bool inSprocketHole(double u, double v) {
  const bool band = (v >= 0.055 && v < 0.075) || (v >= 0.925 && v < 0.945);
  return band && std::fmod(u, 0.06) < 0.03;
}

}  // namespace

double HardEdgedNegative::baseDensity(int channel) const {
  constexpr std::array<double, 3> orangeMask{0.15, 0.45, 0.75};
  return blackAndWhite ? 0.2 : orangeMask[channel];
}

double HardEdgedNegative::stepDensity(int step, int channel) const {
  constexpr std::array<double, 3> colourGamma{0.60, 0.65, 0.70};
  const double gamma = blackAndWhite ? 0.7 : colourGamma[channel];
  return baseDensity(channel) + gamma * (firstLogExposure + step * logExposureStep);
}

NormRect HardEdgedNegative::stepRect(int step) const {
  const double side = 1 - 2 * filmEdgeFraction;
  for (int row = 0; row < 2; ++row)
    for (int column = 0; column < 6; ++column)
      if (patchOrder[row][column] == step)
        return {filmEdgeFraction + column * side / 6, filmEdgeFraction + row * side / 2, side / 6,
                side / 2};
  return {0, 0, 0, 0};
}

ScanFixtures::Pattern HardEdgedNegative::pattern() const {
  std::array<NormRect, steps> patches{};
  for (int k = 0; k < steps; ++k) patches[k] = stepRect(k);
  return [n = *this, patches](int64_t x, int64_t y) {
    const double u = (static_cast<double>(x) + 0.5) / static_cast<double>(n.width);
    const double v = (static_cast<double>(y) + 0.5) / static_cast<double>(n.height);
    const NormRect film{surroundFraction, surroundFraction, 1 - 2 * surroundFraction,
                        1 - 2 * surroundFraction};
    if (!inside(film, u, v) || inSprocketHole(u, v))
      return std::array<float, 4>{lightTable, lightTable, lightTable, 1};
    std::array<float, 4> value{0, 0, 0, 1};
    int step = -1;
    for (int k = 0; k < steps; ++k)
      if (inside(patches[k], u, v)) step = k;
    for (int c = 0; c < 3; ++c) {
      const double density = step < 0 ? n.baseDensity(c) : n.stepDensity(step, c);
      value[c] = static_cast<float>(std::pow(10.0, -density));
    }
    return value;
  };
}

void writeHardEdgedDng(const std::filesystem::path& path, const HardEdgedNegative& negative) {
  ScanFixtures::Dng dng;
  dng.width = negative.width;
  dng.height = negative.height;
  dng.pattern = negative.pattern();
  ScanFixtures::writeDng(path, dng);
}

void writeHardEdgedTiff(const std::filesystem::path& path, const HardEdgedNegative& negative) {
  ScanFixtures::Tiff tiff;
  tiff.width = negative.width;
  tiff.height = negative.height;
  tiff.pattern = negative.pattern();
  tiff.bitsPerSample = 16;
  tiff.icc = ScanFixtures::linearDisplayP3Profile();
  ScanFixtures::writeTiff(path, tiff);
}

double meanGreyChroma(const std::filesystem::path& tiff, const HardEdgedNegative& negative) {
  const auto contents = readTiff(tiff);
  if (!contents || contents->bitsPerSample != 16 || contents->samplesPerPixel != 3 ||
      contents->iccProfile.empty())
    throw std::runtime_error("not a 16-bit RGB TIFF with a profile: " + tiff.string());
  const auto closeProfile = [](cmsHPROFILE p) { cmsCloseProfile(p); };
  std::unique_ptr<void, decltype(closeProfile)> rgb(
      cmsOpenProfileFromMem(contents->iccProfile.data(),
                            static_cast<cmsUInt32Number>(contents->iccProfile.size())),
      closeProfile);
  std::unique_ptr<void, decltype(closeProfile)> lab(cmsCreateLab4Profile(nullptr), closeProfile);
  if (!rgb || !lab) throw std::runtime_error("unusable profile in " + tiff.string());
  cmsHTRANSFORM transform = cmsCreateTransform(rgb.get(), TYPE_RGB_16, lab.get(), TYPE_Lab_DBL,
                                               INTENT_RELATIVE_COLORIMETRIC, 0);
  if (!transform) throw std::runtime_error("no transform for " + tiff.string());
  double chromaSum = 0;
  for (int k = 0; k < HardEdgedNegative::steps; ++k) {
    // The middle half of the patch, averaged in 16-bit values, then turned into Lab.
    const NormRect r = negative.stepRect(k);
    const auto column = [&](double u) { return static_cast<int64_t>(u * contents->width); };
    const auto row = [&](double v) { return static_cast<int64_t>(v * contents->height); };
    double sum[3] = {0, 0, 0};
    int64_t count = 0;
    for (int64_t y = row(r.y + r.h / 4); y < row(r.y + 3 * r.h / 4); ++y)
      for (int64_t x = column(r.x + r.w / 4); x < column(r.x + 3 * r.w / 4); ++x, ++count)
        for (int c = 0; c < 3; ++c)
          sum[c] += contents->samples[static_cast<size_t>((y * contents->width + x) * 3 + c)];
    cmsUInt16Number mean[3];
    for (int c = 0; c < 3; ++c)
      mean[c] = static_cast<cmsUInt16Number>(std::lround(sum[c] / static_cast<double>(count)));
    cmsCIELab colour{};
    cmsDoTransform(transform, mean, &colour, 1);
    chromaSum += std::hypot(colour.a, colour.b);
  }
  cmsDeleteTransform(transform);
  return chromaSum / HardEdgedNegative::steps;
}
