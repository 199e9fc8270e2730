#include "Rendering/PreviewImage.h"

#include "Export/Exporter.h"
#include "Rendering/ScreenCopy.h"

std::optional<PreviewImage> PreviewImage::make(const PrintImage& print) {
  auto image = Exporter::makeCGImage(print.width, print.height, print.rgb);
  if (!image) return std::nullopt;
  QImage screen = ScreenCopy::make(*image);
  if (screen.isNull()) return std::nullopt;
  return PreviewImage{std::move(*image), std::move(screen)};
}
