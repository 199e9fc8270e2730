#include "Rendering/ScreenCopy.h"

#include "Export/ColorProfiles.h"
#include "Support/ParallelFor.h"

namespace ScreenCopy {

QImage make(const DisplayP3Image& image) {
  QImage screen(static_cast<int>(image.width), static_cast<int>(image.height),
                QImage::Format_RGB888);
  if (screen.isNull()) return screen;
  const auto width = static_cast<size_t>(image.width);
  uchar* bits = screen.bits();
  const auto stride = static_cast<size_t>(screen.bytesPerLine());
  parallelForRows(image.height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      ColorProfiles::convert(ExportColorSpace::sRGB, image.samples.data() + y * width * 3, width,
                             bits + static_cast<size_t>(y) * stride);
    }
  });
  return screen;
}

}  // namespace ScreenCopy
