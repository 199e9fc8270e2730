// A reference photo for matching, as read from its file: the first picture as stored (an
// orientation tag is not applied; the placement tries every orientation anyway), kept in its
// stored samples with its colour space until a match draws it at the size it needs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "Conversion/ColorProfile.h"
#include "Conversion/LinearImage.h"
#include "Conversion/SourceImage.h"

class ReferencePicture {
 public:
  // Reads a TIFF, JPEG, PNG or HEIC file with the decoder's readers. Throws DecodeError.
  static ReferencePicture read(const std::filesystem::path& url);

  // Takes a picture a reader (or a caller) filled; its colour space is that of the source (the
  // embedded profile, else the described space, else sRGB). Throws std::invalid_argument for a
  // picture without pixels.
  explicit ReferencePicture(SourceImage source);

  int64_t width() const { return source_->width; }
  int64_t height() const { return source_->height; }

  // The whole picture drawn into width × height pixels (both at least 1) with the Lanczos-3
  // resampler, in extended linear Display P3 with red, green and blue premultiplied by alpha.
  // Source rows are converted as the resampler asks for them.
  LinearImage drawn(int64_t width, int64_t height) const;

 private:
  std::shared_ptr<const SourceImage> source_;
  ColorProfile profile_;
};
