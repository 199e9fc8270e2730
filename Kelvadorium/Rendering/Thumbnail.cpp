#include "Rendering/Thumbnail.h"

#include "Export/Exporter.h"
#include "Rendering/ScreenCopy.h"

namespace Thumbnail {

std::optional<PreviewImage> make(RenderCache& cache, const std::filesystem::path& url,
                                 const ConversionSettings& settings) {
  const FilmAnalysis analysis = cache.analysis(url, settings);
  const LinearImage proxy = cache.proxy(url, settings);
  const PrintImage print = cache.convert(proxy, analysis, settings, true, true);
  const auto image = Exporter::makeCGImage(print.width, print.height, print.rgb);
  if (!image) return std::nullopt;
  QImage screen = ScreenCopy::make(*image);
  if (screen.isNull()) return std::nullopt;
  return PreviewImage{DisplayP3Image{}, std::move(screen)};
}

}  // namespace Thumbnail
