// Pixels as a reader found them in a TIFF, JPEG, PNG or HEIC file, before colour management:
// interleaved samples of one type, the embedded ICC profile (empty when there is none) and the
// move that turns the stored image upright.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Color/Chromaticities.h"
#include "Conversion/ImageOrientation.h"

struct SourceImage {
  enum class Sample { uint8, uint16, float32 };

  int64_t width = 0;
  int64_t height = 0;
  int channels = 0;  // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
  Sample sample = Sample::uint8;
  uint32_t sampleMax = 255;  // integer samples run from 0 to sampleMax (a 10-bit HEIC: 1023)
  std::vector<uint8_t> icc;
  // Without an ICC profile, a space given by primaries and a pure power curve (the decoding
  // exponent) or, without a gamma, the sRGB curve.
  struct Described {
    Chromaticities chromaticities;
    std::optional<double> gamma;
  };
  std::optional<Described> described;
  ImageOrientation orientation;
  std::unique_ptr<std::byte[]> data;

  // Allocates width × height pixels of `channels` samples, uninitialised.
  void allocate(int64_t width, int64_t height, int channels, Sample sample);
  size_t bytesPerSample() const;
  size_t rowBytes() const { return static_cast<size_t>(width) * channels * bytesPerSample(); }
  std::byte* row(int64_t y) { return data.get() + static_cast<size_t>(y) * rowBytes(); }
  const std::byte* row(int64_t y) const { return data.get() + static_cast<size_t>(y) * rowBytes(); }
};

// Called by a reader with the stored size, before it allocates any pixels, so that a decode whose
// output would be too large fails before the work starts. Throws to stop the read.
using SizeCheck = std::function<void(int64_t width, int64_t height)>;
