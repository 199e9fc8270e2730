#include "MeasuringAids/ReferencePicture.h"

#include <stdexcept>
#include <utility>

#include "Conversion/Decoder.h"
#include "Conversion/LanczosResampler.h"

namespace {

std::shared_ptr<const SourceImage> checked(SourceImage source) {
  if (source.width < 1 || source.height < 1 || source.channels < 1 || source.channels > 4 ||
      !source.data)
    throw std::invalid_argument("ReferencePicture: a picture without pixels");
  return std::make_shared<const SourceImage>(std::move(source));
}

}  // namespace

ReferencePicture ReferencePicture::read(const std::filesystem::path& url) {
  return ReferencePicture(Decoder::readPicture(url));
}

ReferencePicture::ReferencePicture(SourceImage source)
    : source_(checked(std::move(source))), profile_(ColorProfile::of(*source_)) {}

LinearImage ReferencePicture::drawn(int64_t width, int64_t height) const {
  const ColorProfile::RowConverter convert = profile_.rowConverter(*source_);
  const int64_t sourceWidth = source_->width;
  // Premultiplied before filtering, so transparent pixels lend no colour to their neighbours.
  return LanczosResampler::resample(
      sourceWidth, source_->height,
      [&](int64_t y, float* scratch) {
        convert(y, scratch);
        for (int64_t x = 0; x < sourceWidth; ++x) {
          float* pixel = scratch + 4 * x;
          for (int c = 0; c < 3; ++c) pixel[c] *= pixel[3];
        }
        return static_cast<const float*>(scratch);
      },
      width, height);
}
