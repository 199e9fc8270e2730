#include "Conversion/ColorProfile.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "Color/Lcms.h"
#include "Color/Matrix3.h"
#include "Support/ParallelFor.h"

namespace {

using Lcms::Curve;
using Lcms::Profile;

Profile linearProfile(const Chromaticities& c) {
  Curve linear(cmsBuildGamma(Lcms::context(), 1.0));
  return Lcms::rgbProfile(c, linear.get());
}

// The big-endian colour space field of an ICC header (bytes 16 to 19); nothing for a profile
// shorter than its 128-byte header.
std::optional<uint32_t> headerColourSpace(const std::vector<uint8_t>& icc) {
  if (icc.size() < 128) return std::nullopt;
  return uint32_t{icc[16]} << 24 | uint32_t{icc[17]} << 16 | uint32_t{icc[18]} << 8 | icc[19];
}

// Columns: the red, green and blue colorants in the profile connection space (D50).
std::optional<Matrix3> colorantMatrix(cmsHPROFILE profile) {
  const auto* red = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigRedColorantTag));
  const auto* green = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigGreenColorantTag));
  const auto* blue = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigBlueColorantTag));
  if (!red || !green || !blue) return std::nullopt;
  return Matrix3{red->X, green->X, blue->X, red->Y, green->Y, blue->Y, red->Z, green->Z, blue->Z};
}

const Matrix3& displayP3FromConnectionSpace() {
  static const Matrix3 matrix = [] {
    Profile p3 = linearProfile(Chromaticities::displayP3());
    return matrixInverse(*colorantMatrix(p3.get()));
  }();
  return matrix;
}

Curve copiedCurve(cmsHPROFILE profile, cmsTagSignature tag) {
  const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, tag));
  return Curve(curve ? cmsDupToneCurve(curve) : nullptr);
}

}  // namespace

struct ColorProfile::Data {
  enum class Kind { rgbMatrix, grey, lcms };
  Kind kind = Kind::rgbMatrix;
  Matrix3 toDisplayP3{1, 0, 0, 0, 1, 0, 0, 0, 1};
  std::array<Curve, 3> curves;  // grey uses the first
  std::vector<uint8_t> icc;     // lcms: the profile itself

  using Lut = std::vector<float>;
  // Lookup tables from integer samples 0…sampleMax to linear values, one per curve, built on
  // first use and kept with the profile (the shared sRGB profile keeps them for the process).
  std::array<std::shared_ptr<const Lut>, 3> luts(uint32_t sampleMax) const;

  // A float sample through curve c; values below 0 mirror the curve, so nothing is clipped.
  float linearise(int c, float value) const {
    const cmsToneCurve* curve = curves[c].get();
    if (!std::isfinite(value)) return value;
    const float magnitude = cmsEvalToneCurveFloat(curve, std::fabs(value));
    return value < 0 ? -magnitude : magnitude;
  }

 private:
  mutable std::mutex lutMutex;
  mutable std::map<uint32_t, std::array<std::shared_ptr<const Lut>, 3>> lutCache;
};

std::array<std::shared_ptr<const ColorProfile::Data::Lut>, 3> ColorProfile::Data::luts(
    uint32_t sampleMax) const {
  std::lock_guard lock(lutMutex);
  auto& cached = lutCache[sampleMax];
  if (cached[0]) return cached;
  const int curveCount = kind == Kind::grey ? 1 : 3;
  for (int c = 0; c < curveCount; ++c) {
    auto lut = std::make_shared<Lut>(static_cast<size_t>(sampleMax) + 1);
    const cmsToneCurve* curve = curves[c].get();
    const int64_t entries = static_cast<int64_t>(lut->size());
    constexpr int64_t block = 4096;
    parallelFor((entries + block - 1) / block, [&](int64_t b) {
      for (int64_t i = b * block; i < std::min(entries, (b + 1) * block); ++i)
        (*lut)[i] = cmsEvalToneCurveFloat(curve, static_cast<float>(i) / sampleMax);
    });
    cached[c] = std::move(lut);
  }
  for (int c = curveCount; c < 3; ++c) cached[c] = cached[0];
  return cached;
}

ColorProfile ColorProfile::sRGB() {
  static const std::shared_ptr<const Data> data = [] {
    auto created = std::make_shared<Data>();
    created->toDisplayP3 = matrixToDisplayP3(Chromaticities::sRGB());
    for (auto& curve : created->curves) curve = Lcms::srgbCurve();
    return created;
  }();
  return ColorProfile(data);
}

ColorProfile ColorProfile::fromChromaticities(const Chromaticities& chromaticities,
                                              std::optional<double> gamma) {
  auto data = std::make_shared<Data>();
  data->toDisplayP3 = matrixToDisplayP3(chromaticities);
  for (auto& curve : data->curves)
    curve = gamma ? Curve(cmsBuildGamma(Lcms::context(), *gamma)) : Lcms::srgbCurve();
  return ColorProfile(std::move(data));
}

ColorProfile ColorProfile::fromIcc(const std::vector<uint8_t>& icc, int colourChannels) {
  // The header's colour space is read as the integer it is: lcms2 hands it back as an enum,
  // which cannot hold an arbitrary file value. Only the two spaces converted here are taken.
  const std::optional<uint32_t> space = headerColourSpace(icc);
  const bool rgb = colourChannels == 3 && space == uint32_t{cmsSigRgbData};
  const bool grey = colourChannels == 1 && space == uint32_t{cmsSigGrayData};
  if (!rgb && !grey) return sRGB();
  Profile profile(cmsOpenProfileFromMemTHR(Lcms::context(), icc.data(),
                                           static_cast<cmsUInt32Number>(icc.size())));
  if (!profile) return sRGB();
  auto data = std::make_shared<Data>();
  if (rgb) {
    const auto colorants = colorantMatrix(profile.get());
    if (colorants && cmsIsMatrixShaper(profile.get())) {
      data->toDisplayP3 = matrixProduct(displayP3FromConnectionSpace(), *colorants);
      data->curves = {copiedCurve(profile.get(), cmsSigRedTRCTag),
                      copiedCurve(profile.get(), cmsSigGreenTRCTag),
                      copiedCurve(profile.get(), cmsSigBlueTRCTag)};
      if (data->curves[0] && data->curves[1] && data->curves[2]) return ColorProfile(data);
    }
  } else {
    data->kind = Data::Kind::grey;
    data->curves[0] = copiedCurve(profile.get(), cmsSigGrayTRCTag);
    if (data->curves[0]) return ColorProfile(data);
  }
  data->kind = Data::Kind::lcms;
  data->icc = icc;
  return ColorProfile(data);
}

ColorProfile ColorProfile::of(const SourceImage& source) {
  const int colourChannels = source.channels <= 2 ? 1 : 3;
  if (!source.icc.empty()) return fromIcc(source.icc, colourChannels);
  if (source.described)
    return fromChromaticities(source.described->chromaticities, source.described->gamma);
  return sRGB();
}

std::array<double, 9> ColorProfile::matrixToDisplayP3(const Chromaticities& chromaticities) {
  Profile profile = linearProfile(chromaticities);
  return matrixProduct(displayP3FromConnectionSpace(), *colorantMatrix(profile.get()));
}

namespace {

float normalisedSample(const SourceImage& source, const std::byte* row, int64_t index) {
  switch (source.sample) {
    case SourceImage::Sample::uint8:
      return static_cast<float>(reinterpret_cast<const uint8_t*>(row)[index]) / source.sampleMax;
    case SourceImage::Sample::uint16:
      return static_cast<float>(reinterpret_cast<const uint16_t*>(row)[index]) / source.sampleMax;
    case SourceImage::Sample::float32:
      return reinterpret_cast<const float*>(row)[index];
  }
  return 0;
}

// Everything a row conversion needs, prepared once per image and shared by the threads.
struct Prepared {
  std::shared_ptr<const ColorProfile::Data> data;  // keeps the curves alive
  std::array<std::shared_ptr<const ColorProfile::Data::Lut>, 3> luts;
  float m[9] = {};
  bool linear[3] = {};
  std::shared_ptr<void> transform;  // lcms2, for profiles built from lookup tables
};

// Lookup tables and the matrix, for integer samples.
template <class T>
void integerRow(const SourceImage& source, const Prepared& p, int64_t y, float* out) {
  const float* lut[3] = {p.luts[0]->data(), p.luts[1]->data(), p.luts[2]->data()};
  const float* m = p.m;
  const int channels = source.channels;
  const bool grey = channels <= 2;
  const bool hasAlpha = channels == 2 || channels == 4;
  const uint32_t top = source.sampleMax;
  const float alphaScale = 1.0f / static_cast<float>(top);
  const T* in = reinterpret_cast<const T*>(source.row(y));
  for (int64_t x = 0; x < source.width; ++x, in += channels, out += 4) {
    if (grey) {
      const float v = lut[0][std::min<uint32_t>(in[0], top)];
      out[0] = v;
      out[1] = v;
      out[2] = v;
    } else {
      const float r = lut[0][std::min<uint32_t>(in[0], top)];
      const float g = lut[1][std::min<uint32_t>(in[1], top)];
      const float b = lut[2][std::min<uint32_t>(in[2], top)];
      out[0] = m[0] * r + m[1] * g + m[2] * b;
      out[1] = m[3] * r + m[4] * g + m[5] * b;
      out[2] = m[6] * r + m[7] * g + m[8] * b;
    }
    out[3] = hasAlpha ? static_cast<float>(in[channels - 1]) * alphaScale : 1.0f;
  }
}

// The curves evaluated per sample, for float samples, which may lie outside 0…1.
void floatRow(const SourceImage& source, const Prepared& p, int64_t y, float* out) {
  const float* m = p.m;
  const int channels = source.channels;
  const bool grey = channels <= 2;
  const bool hasAlpha = channels == 2 || channels == 4;
  const auto lin = [&](int c, float v) { return p.linear[c] ? v : p.data->linearise(c, v); };
  const float* in = reinterpret_cast<const float*>(source.row(y));
  for (int64_t x = 0; x < source.width; ++x, in += channels, out += 4) {
    if (grey) {
      const float v = lin(0, in[0]);
      out[0] = v;
      out[1] = v;
      out[2] = v;
    } else {
      const float r = lin(0, in[0]), g = lin(1, in[1]), b = lin(2, in[2]);
      out[0] = m[0] * r + m[1] * g + m[2] * b;
      out[1] = m[3] * r + m[4] * g + m[5] * b;
      out[2] = m[6] * r + m[7] * g + m[8] * b;
    }
    out[3] = hasAlpha ? in[channels - 1] : 1.0f;
  }
}

void lcmsRow(const SourceImage& source, const Prepared& p, int64_t y, float* out) {
  const bool grey = source.channels <= 2;
  const bool hasAlpha = source.channels == 2 || source.channels == 4;
  const int colour = grey ? 1 : 3;
  std::vector<float> in(static_cast<size_t>(source.width) * colour);
  std::vector<float> rgb(static_cast<size_t>(source.width) * 3);
  const std::byte* row = source.row(y);
  for (int64_t x = 0; x < source.width; ++x)
    for (int c = 0; c < colour; ++c)
      in[x * colour + c] = normalisedSample(source, row, x * source.channels + c);
  cmsDoTransform(p.transform.get(), in.data(), rgb.data(),
                 static_cast<cmsUInt32Number>(source.width));
  for (int64_t x = 0; x < source.width; ++x) {
    std::copy_n(rgb.data() + x * 3, 3, out + x * 4);
    out[x * 4 + 3] =
        hasAlpha ? normalisedSample(source, row, x * source.channels + source.channels - 1) : 1.0f;
  }
}

std::shared_ptr<void> lcmsTransform(const ColorProfile::Data& data, bool grey) {
  Profile input(cmsOpenProfileFromMemTHR(Lcms::context(), data.icc.data(),
                                         static_cast<cmsUInt32Number>(data.icc.size())));
  if (!input) return nullptr;
  Profile output = linearProfile(Chromaticities::displayP3());
  void* transform =
      cmsCreateTransformTHR(Lcms::context(), input.get(), grey ? TYPE_GRAY_FLT : TYPE_RGB_FLT,
                            output.get(), TYPE_RGB_FLT, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
  if (!transform) return nullptr;
  return std::shared_ptr<void>(transform, Lcms::TransformDeleter());
}

std::shared_ptr<const ColorProfile::Data> srgbGrey() {
  static const std::shared_ptr<const ColorProfile::Data> data = [] {
    auto created = std::make_shared<ColorProfile::Data>();
    created->kind = ColorProfile::Data::Kind::grey;
    created->curves[0] = Lcms::srgbCurve();
    return created;
  }();
  return data;
}

}  // namespace

ColorProfile::RowConverter ColorProfile::rowConverter(const SourceImage& source) const {
  const bool grey = source.channels <= 2;
  auto prepared = std::make_shared<Prepared>();
  prepared->data = data_;
  // Grey pixels under an RGB space (no profile, or primaries and a curve) follow its green curve.
  if (grey && data_->kind == Data::Kind::rgbMatrix) {
    if (data_ == sRGB().data_) {
      prepared->data = srgbGrey();
    } else {
      auto greyOfRgb = std::make_shared<Data>();
      greyOfRgb->kind = Data::Kind::grey;
      greyOfRgb->curves[0] = Curve(cmsDupToneCurve(data_->curves[1].get()));
      prepared->data = std::move(greyOfRgb);
    }
  }
  const Data& data = *prepared->data;
  RowConverter converter;
  if (data.kind == Data::Kind::lcms) {
    prepared->transform = lcmsTransform(data, grey);
    if (!prepared->transform) return sRGB().rowConverter(source);
    converter.convert_ = [prepared, &source](int64_t y, float* out) {
      lcmsRow(source, *prepared, y, out);
    };
    return converter;
  }
  for (int i = 0; i < 9; ++i) prepared->m[i] = static_cast<float>(data.toDisplayP3[i]);
  switch (source.sample) {
    case SourceImage::Sample::uint8:
    case SourceImage::Sample::uint16:
      prepared->luts = data.luts(source.sampleMax);
      break;
    case SourceImage::Sample::float32:
      for (int c = 0; c < 3; ++c)
        prepared->linear[c] = cmsIsToneCurveLinear(data.curves[grey ? 0 : c].get());
      break;
  }
  switch (source.sample) {
    case SourceImage::Sample::uint8:
      converter.convert_ = [prepared, &source](int64_t y, float* out) {
        integerRow<uint8_t>(source, *prepared, y, out);
      };
      break;
    case SourceImage::Sample::uint16:
      converter.convert_ = [prepared, &source](int64_t y, float* out) {
        integerRow<uint16_t>(source, *prepared, y, out);
      };
      break;
    case SourceImage::Sample::float32:
      converter.convert_ = [prepared, &source](int64_t y, float* out) {
        floatRow(source, *prepared, y, out);
      };
      break;
  }
  return converter;
}

LinearImage ColorProfile::convert(const SourceImage& source) const {
  const RowConverter converter = rowConverter(source);
  LinearImage image(source.width, source.height);
  float* pixels = image.mutablePixels();
  parallelForRows(source.height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) converter(y, pixels + y * source.width * 4);
  });
  return image;
}
