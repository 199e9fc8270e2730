#include "Export/ColorProfiles.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "Color/Chromaticities.h"
#include "Color/Lcms.h"
#include "Color/Matrix3.h"
#include "Color/SrgbCurve.h"
#include "Support/VectorMath.h"

namespace ColorProfiles {

namespace {

struct SpaceDefinition {
  const char* description;
  Chromaticities chromaticities;
  int curveType;  // lcms2 parametric curve type
  std::array<double, 5> curve;
};

SpaceDefinition definition(ExportColorSpace space) {
  switch (space) {
    case ExportColorSpace::sRGB:
      return {"sRGB IEC61966-2.1", Chromaticities::sRGB(), 4, SrgbCurve::parameters};
    case ExportColorSpace::displayP3:
      return {"Display P3", Chromaticities::displayP3(), 4, SrgbCurve::parameters};
    case ExportColorSpace::adobeRGB:
      return {"Adobe RGB (1998)", Chromaticities::adobeRGB(), 1, {563.0 / 256}};
    case ExportColorSpace::proPhotoRGB:
      return {"ProPhoto RGB (ROMM RGB)",
              Chromaticities::proPhotoRGB(),
              4,
              {1.8, 1, 0, 1.0 / 16, 1.0 / 32}};
  }
  throw std::logic_error("unknown colour space");
}

using Lcms::Profile;

void setText(cmsHPROFILE profile, cmsTagSignature tag, const char* text) {
  cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
  cmsMLUsetASCII(mlu, "en", "US", text);
  cmsWriteTag(profile, tag, mlu);
  cmsMLUfree(mlu);
}

Profile buildProfile(ExportColorSpace space) {
  const SpaceDefinition d = definition(space);
  const Lcms::Curve curve(
      cmsBuildParametricToneCurve(Lcms::context(), d.curveType, d.curve.data()));
  Profile profile = Lcms::rgbProfile(d.chromaticities, curve.get());
  if (!profile) throw std::runtime_error("cannot build a colour profile");
  setText(profile.get(), cmsSigProfileDescriptionTag, d.description);
  setText(profile.get(), cmsSigCopyrightTag, "No copyright, use freely");
  return profile;
}

std::vector<uint8_t> saved(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  if (!cmsSaveProfileToMem(profile, nullptr, &size)) {
    throw std::runtime_error("cannot write a colour profile");
  }
  std::vector<uint8_t> bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  return bytes;
}

// lcms2 stamps a new profile with the current time. A fixed date (2024-01-01 00:00:00 in the
// header's big-endian date field) keeps the bytes, and so the profile ID, the same in every
// file and every run.
std::vector<uint8_t> profileBytes(ExportColorSpace space) {
  std::vector<uint8_t> bytes = saved(buildProfile(space).get());
  constexpr uint8_t fixedDate[12] = {0x07, 0xE8, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0};
  std::memcpy(bytes.data() + 24, fixedDate, sizeof fixedDate);
  const Profile dated(
      cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size())));
  if (!dated) throw std::runtime_error("cannot write a colour profile");
  cmsMD5computeID(dated.get());
  return saved(dated.get());
}

// Columns are the profile's colorants before they are rounded to the file's s15.16 numbers:
// linear RGB to XYZ relative to D50. Unrounded, greys of two D65 spaces stay exactly neutral.
Matrix3 colorants(ExportColorSpace space) {
  const Profile profile = buildProfile(space);
  const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                   cmsSigBlueColorantTag};
  Matrix3 m{};
  for (int c = 0; c < 3; ++c) {
    const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile.get(), tags[c]));
    m[c] = xyz->X;
    m[3 + c] = xyz->Y;
    m[6 + c] = xyz->Z;
  }
  return m;
}

// Everything one conversion from Display P3 needs, made once per target space.
struct Conversion {
  ExportColorSpace space;
  // Linear Display P3 → linear target, row-major. Double precision: converting saturated colours
  // subtracts nearly equal terms, and near black a pure gamma curve magnifies every error.
  std::array<double, 9> matrix;
};

const std::vector<double>& displayP3Linear() {
  static const std::vector<double> table = [] {
    std::vector<double> t(65536);
    for (size_t i = 0; i < t.size(); ++i) {
      t[i] = SrgbCurve::decode(static_cast<double>(i) / 65535);
    }
    return t;
  }();
  return table;
}

Conversion makeConversion(ExportColorSpace space) {
  return {space,
          matrixProduct(matrixInverse(colorants(space)), colorants(ExportColorSpace::displayP3))};
}

const Conversion& conversion(ExportColorSpace space) {
  static const std::array<Conversion, 4> all = {
      makeConversion(ExportColorSpace::sRGB), makeConversion(ExportColorSpace::displayP3),
      makeConversion(ExportColorSpace::adobeRGB), makeConversion(ExportColorSpace::proPhotoRGB)};
  return all[static_cast<size_t>(space)];
}

// Pixels are converted in runs of this many, through buffers on the stack.
constexpr size_t runPixels = 1024;

// Linear target values, clipped to 0…1, into the space's encoded values, in place; at most
// 3 × runPixels of them.
void encode(ExportColorSpace space, float* values, size_t count) {
  float powered[3 * runPixels];
  switch (space) {
    case ExportColorSpace::sRGB:
    case ExportColorSpace::displayP3: {
      VectorMath::pow(values, 1.0f / 2.4f, powered, count);
      for (size_t i = 0; i < count; ++i) {
        values[i] = SrgbCurve::encodeFromPowered(values[i], powered[i]);
      }
      break;
    }
    case ExportColorSpace::adobeRGB:
      VectorMath::pow(values, 256.0f / 563.0f, values, count);
      break;
    case ExportColorSpace::proPhotoRGB: {
      VectorMath::pow(values, 1.0f / 1.8f, powered, count);
      for (size_t i = 0; i < count; ++i) {
        const float v = values[i];
        values[i] = v < 1.0f / 512 ? 16.0f * v : powered[i];
      }
      break;
    }
  }
}

// Encoded values of the target space for a run of at most runPixels pixels.
void encodedValues(ExportColorSpace space, const uint16_t* in, size_t pixels, float* values) {
  const Conversion& c = conversion(space);
  const double* linear = displayP3Linear().data();
  const double* m = c.matrix.data();
  for (size_t p = 0; p < pixels; ++p) {
    const double r = linear[in[3 * p]], g = linear[in[3 * p + 1]], b = linear[in[3 * p + 2]];
    for (int k = 0; k < 3; ++k) {
      const double v = m[3 * k] * r + m[3 * k + 1] * g + m[3 * k + 2] * b;
      values[3 * p + k] = static_cast<float>(std::clamp(v, 0.0, 1.0));
    }
  }
  encode(space, values, 3 * pixels);
}

template <class Sample>
void quantise(const float* values, size_t count, Sample* out) {
  constexpr float maximum = sizeof(Sample) == 2 ? 65535.0f : 255.0f;
  for (size_t i = 0; i < count; ++i) {
    const float v = std::clamp(values[i], 0.0f, 1.0f);
    out[i] = static_cast<Sample>(v * maximum + 0.5f);
  }
}

// Each run is read whole before it is written, so `out` may be `in`.
template <class Sample>
void convertRuns(ExportColorSpace space, const uint16_t* in, size_t pixels, Sample* out) {
  float values[3 * runPixels];
  for (size_t first = 0; first < pixels; first += runPixels) {
    const size_t run = std::min(runPixels, pixels - first);
    encodedValues(space, in + 3 * first, run, values);
    quantise(values, 3 * run, out + 3 * first);
  }
}

}  // namespace

const std::vector<uint8_t>& iccProfile(ExportColorSpace space) {
  static const std::array<std::vector<uint8_t>, 4> all = {
      profileBytes(ExportColorSpace::sRGB), profileBytes(ExportColorSpace::displayP3),
      profileBytes(ExportColorSpace::adobeRGB), profileBytes(ExportColorSpace::proPhotoRGB)};
  return all[static_cast<size_t>(space)];
}

void convert(ExportColorSpace space, const uint16_t* displayP3, size_t pixels, uint16_t* out) {
  if (space == ExportColorSpace::displayP3) {
    std::memmove(out, displayP3, pixels * 3 * sizeof(uint16_t));
    return;
  }
  convertRuns(space, displayP3, pixels, out);
}

void convert(ExportColorSpace space, const uint16_t* displayP3, size_t pixels, uint8_t* out) {
  if (space == ExportColorSpace::displayP3) {
    for (size_t i = 0; i < pixels * 3; ++i)
      out[i] = static_cast<uint8_t>((displayP3[i] * 255u + 32767u) / 65535u);
    return;
  }
  convertRuns(space, displayP3, pixels, out);
}

}  // namespace ColorProfiles
