// The export colour spaces: the profiles' contents and the conversion from 16-bit Display P3,
// checked against lcms2's unoptimised double-precision transform between the same profiles.
#include "Export/ColorProfiles.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <random>

namespace {

using S = ExportColorSpace;

struct Profile {
  cmsHPROFILE handle;
  explicit Profile(S space) {
    const auto& bytes = ColorProfiles::iccProfile(space);
    handle = cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size()));
  }
  ~Profile() { cmsCloseProfile(handle); }
  std::string description() const {
    char text[256] = {};
    cmsGetProfileInfoASCII(handle, cmsInfoDescription, "en", "US", text, sizeof text);
    return text;
  }
  double curveAt(double v) const {
    const auto* curve = static_cast<cmsToneCurve*>(cmsReadTag(handle, cmsSigRedTRCTag));
    return cmsEvalToneCurveFloat(curve, static_cast<float>(v));
  }
};

TEST(ColorProfiles, ProfilesNameTheirSpaceWithItsCurveAndWhite) {
  struct Case {
    S space;
    const char* description;
    double redX;         // red colorant's x chromaticity after adaptation to D50
    double curveAtHalf;  // linear value of the encoded value 0.5
  };
  const Case cases[] = {
      {S::sRGB, "sRGB IEC61966-2.1", 0.6484, std::pow((0.5 + 0.055) / 1.055, 2.4)},
      {S::displayP3, "Display P3", 0.6822, std::pow((0.5 + 0.055) / 1.055, 2.4)},
      {S::adobeRGB, "Adobe RGB (1998)", 0.6485, std::pow(0.5, 563.0 / 256)},
      {S::proPhotoRGB, "ProPhoto RGB (ROMM RGB)", 0.7347, std::pow(0.5, 1.8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    const Profile p(c.space);
    ASSERT_NE(p.handle, nullptr);
    EXPECT_EQ(cmsGetColorSpace(p.handle), cmsSigRgbData);
    EXPECT_EQ(cmsGetPCS(p.handle), cmsSigXYZData);
    EXPECT_EQ(p.description(), c.description);
    EXPECT_TRUE(cmsIsMatrixShaper(p.handle));
    const auto* red = static_cast<cmsCIEXYZ*>(cmsReadTag(p.handle, cmsSigRedColorantTag));
    EXPECT_NEAR(red->X / (red->X + red->Y + red->Z), c.redX, 0.001);
    EXPECT_NEAR(p.curveAt(0.5), c.curveAtHalf, 1e-5);
  }
  // The same bytes in every run: a fixed creation date and the profile ID of those bytes.
  const Profile p3(S::displayP3);
  tm created{};
  ASSERT_TRUE(cmsGetHeaderCreationDateTime(p3.handle, &created));
  EXPECT_EQ(created.tm_year + 1900, 2024);
  cmsUInt8Number id[16] = {};
  cmsGetHeaderProfileID(p3.handle, id);
  EXPECT_NE(std::vector<uint8_t>(id, id + 16), std::vector<uint8_t>(16, 0));

  // ROMM RGB's linear segment: encoded 1/64 is linear 1/1024.
  EXPECT_NEAR(Profile(S::proPhotoRGB).curveAt(1.0 / 64), 1.0 / 1024, 1e-7);
}

double srgbDecode(double v) {
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// The published encoding of each space, in double precision.
double encoded(S space, double linear) {
  switch (space) {
    case S::sRGB:
    case S::displayP3:
      return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    case S::adobeRGB:
      return std::pow(linear, 256.0 / 563);
    case S::proPhotoRGB:
      return linear < 1.0 / 512 ? 16 * linear : std::pow(linear, 1 / 1.8);
  }
  return 0;
}

using Matrix = std::array<std::array<double, 3>, 3>;

Matrix product(const Matrix& a, const Matrix& b) {
  Matrix r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * b[k][j];
  return r;
}

double determinant(const Matrix& m) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
         m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Solves m · x = y by Cramer's rule.
std::array<double, 3> solve(const Matrix& m, const std::array<double, 3>& y) {
  std::array<double, 3> x{};
  for (int c = 0; c < 3; ++c) {
    Matrix replaced = m;
    for (int i = 0; i < 3; ++i) replaced[i][c] = y[i];
    x[c] = determinant(replaced) / determinant(m);
  }
  return x;
}

std::array<double, 3> xyz(double x, double y) { return {x / y, 1.0, (1 - x - y) / y}; }

// Linear RGB to XYZ adapted to the ICC's D50 by Bradford, from the space's published
// primaries and white: an independent derivation of what the profiles hold.
Matrix rgbToD50(S space) {
  std::array<std::array<double, 2>, 4> c{};  // red, green, blue, white chromaticities
  switch (space) {
    case S::sRGB:
      c = {{{0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}, {0.3127, 0.3290}}};
      break;
    case S::displayP3:
      c = {{{0.68, 0.32}, {0.265, 0.69}, {0.15, 0.06}, {0.3127, 0.3290}}};
      break;
    case S::adobeRGB:
      c = {{{0.64, 0.33}, {0.21, 0.71}, {0.15, 0.06}, {0.3127, 0.3290}}};
      break;
    case S::proPhotoRGB:
      c = {{{0.7347, 0.2653}, {0.1596, 0.8404}, {0.0366, 0.0001}, {0.3457, 0.3585}}};
      break;
  }
  Matrix primaries{};
  for (int k = 0; k < 3; ++k) {
    const auto p = xyz(c[k][0], c[k][1]);
    for (int i = 0; i < 3; ++i) primaries[i][k] = p[i];
  }
  const auto white = xyz(c[3][0], c[3][1]);
  const auto scale = solve(primaries, white);
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) primaries[i][k] *= scale[k];

  const Matrix bradford = {
      {{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}}};
  const std::array<double, 3> d50 = {0.9642, 1.0, 0.8249};
  std::array<double, 3> coneFrom{}, coneTo{};
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) {
      coneFrom[i] += bradford[i][k] * white[k];
      coneTo[i] += bradford[i][k] * d50[k];
    }
  Matrix gain{};
  for (int i = 0; i < 3; ++i) gain[i][i] = coneTo[i] / coneFrom[i];
  Matrix inverseBradford{};
  for (int k = 0; k < 3; ++k) {
    const auto column =
        solve(bradford, {k == 0 ? 1.0 : 0.0, k == 1 ? 1.0 : 0.0, k == 2 ? 1.0 : 0.0});
    for (int i = 0; i < 3; ++i) inverseBradford[i][k] = column[i];
  }
  return product(inverseBradford, product(gain, product(bradford, primaries)));
}

// The largest difference, in output codes, between our conversion and an exact one that goes
// through D50 XYZ in double precision.
template <class Sample>
int largestDifference(S space, const std::vector<uint16_t>& p3) {
  const size_t pixels = p3.size() / 3;
  std::vector<Sample> ours(p3.size());
  ColorProfiles::convert(space, p3.data(), pixels, ours.data());

  const Matrix from = rgbToD50(S::displayP3);
  const Matrix to = rgbToD50(space);
  const double maximum = sizeof(Sample) == 2 ? 65535 : 255;
  int worst = 0;
  for (size_t p = 0; p < pixels; ++p) {
    std::array<double, 3> d50{};
    for (int i = 0; i < 3; ++i)
      for (int c = 0; c < 3; ++c) d50[i] += from[i][c] * srgbDecode(p3[3 * p + c] / 65535.0);
    const auto linear = solve(to, d50);
    for (int c = 0; c < 3; ++c) {
      const double expected = encoded(space, std::clamp(linear[c], 0.0, 1.0)) * maximum;
      const double difference = std::fabs(ours[3 * p + c] - expected);
      worst = std::max(worst, static_cast<int>(std::ceil(difference - 0.5)));
    }
  }
  return worst;
}

TEST(ColorProfiles, ConversionAgreesWithExactColourMatching) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> code(0, 65535);
  std::vector<uint16_t> p3;
  for (int i = 0; i < 30000 * 3; ++i) p3.push_back(static_cast<uint16_t>(code(random)));
  for (int v : {0, 1, 2, 10, 100, 1000, 32768, 65534, 65535}) p3.insert(p3.end(), 3, v);
  for (S space : {S::sRGB, S::adobeRGB, S::proPhotoRGB}) {
    SCOPED_TRACE(toString(space));
    EXPECT_LE(largestDifference<uint16_t>(space, p3), 1);
    EXPECT_LE(largestDifference<uint8_t>(space, p3), 1);
  }
}

TEST(ColorProfiles, GreysStayNeutralAndWhiteStaysWhite) {
  std::vector<uint16_t> greys;
  for (int v = 0; v <= 65535; v += 257) greys.insert(greys.end(), 3, static_cast<uint16_t>(v));
  const size_t pixels = greys.size() / 3;
  for (S space : {S::sRGB, S::displayP3, S::adobeRGB, S::proPhotoRGB}) {
    SCOPED_TRACE(toString(space));
    std::vector<uint16_t> out(greys.size());
    ColorProfiles::convert(space, greys.data(), pixels, out.data());
    for (size_t p = 0; p < pixels; ++p) {
      EXPECT_LE(std::abs(out[3 * p] - out[3 * p + 1]), 1);
      EXPECT_LE(std::abs(out[3 * p + 2] - out[3 * p + 1]), 1);
      if (p > 0) {
        EXPECT_GT(out[3 * p + 1], out[3 * (p - 1) + 1]);
      }
    }
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out.back(), 65535);
  }
}

TEST(ColorProfiles, DisplayP3CopiesSixteenBitsAndRoundsEight) {
  const std::vector<uint16_t> p3 = {0, 128, 129, 32767, 32768, 65535};
  std::vector<uint16_t> same(p3.size());
  ColorProfiles::convert(S::displayP3, p3.data(), 2, same.data());
  EXPECT_EQ(same, p3);
  std::vector<uint8_t> eight(p3.size());
  ColorProfiles::convert(S::displayP3, p3.data(), 2, eight.data());
  EXPECT_EQ(eight, (std::vector<uint8_t>{0, 0, 1, 127, 128, 255}));
}

}  // namespace
