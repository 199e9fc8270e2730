// The colour space of a scan file and the conversion of its pixels into extended linear Display
// P3. Profiles are read with lcms2. RGB matrix-shaper profiles (sRGB, Adobe RGB, ProPhoto, Display
// P3, linear spaces) and grey profiles convert through per-channel lookup tables and a 3×3 matrix
// of our own; only profiles built from lookup tables go through an lcms2 transform.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Color/Chromaticities.h"
#include "Conversion/LinearImage.h"
#include "Conversion/SourceImage.h"

class ColorProfile {
 public:
  // sRGB, the space of every file that carries no profile.
  static ColorProfile sRGB();
  // An embedded ICC profile for pixels with colourChannels colour channels (1 grey, 3 RGB);
  // sRGB when lcms2 cannot read it or it describes another colour model than the pixels.
  static ColorProfile fromIcc(const std::vector<uint8_t>& icc, int colourChannels);
  // An RGB space from its chromaticities with a pure power curve (the decoding exponent; 1 is
  // linear) or, without one, the sRGB curve.
  static ColorProfile fromChromaticities(const Chromaticities& chromaticities,
                                         std::optional<double> gamma);

  // The space a reader found: the embedded ICC profile, else the described primaries and curve,
  // else sRGB.
  static ColorProfile of(const SourceImage& source);

  // Converts the rows of one source image, which must outlive it; prepared once, then called
  // from any thread.
  class RowConverter {
   public:
    // Row y of the source as width × 4 floats (RGBA) into out.
    void operator()(int64_t y, float* out) const { convert_(y, out); }

   private:
    friend class ColorProfile;
    std::function<void(int64_t, float*)> convert_;
  };
  RowConverter rowConverter(const SourceImage& source) const;

  // The source's pixels in extended linear Display P3, alpha taken from the source or 1. Rows
  // convert in parallel. Float samples keep values outside 0…1 (curves extend by symmetry).
  LinearImage convert(const SourceImage& source) const;

  // Row-major 3×3 matrix taking linear RGB with these chromaticities to linear Display P3, with
  // the white points adapted as lcms2 adapts them.
  static std::array<double, 9> matrixToDisplayP3(const Chromaticities& chromaticities);

  struct Data;

 private:
  explicit ColorProfile(std::shared_ptr<const Data> data) : data_(std::move(data)) {}
  std::shared_ptr<const Data> data_;
};
