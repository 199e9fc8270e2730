#include "Rendering/RenderCache.h"

#include <algorithm>
#include <cmath>

#include "Color/SrgbCurve.h"
#include "Conversion/Decoder.h"
#include "Conversion/FlatField.h"
#include "Conversion/Geometry.h"
#include "Conversion/LanczosResampler.h"
#include "Driver/Converter.h"
#include "Model/ScanPath.h"
#include "Rendering/RenderError.h"
#include "Support/ParallelFor.h"

namespace {

// When the size of a scan cannot be read it is decoded at a quarter; a 24-megapixel scan then
// comes out at 1500 × 1000, which for the 320-pixel thumbnails would keep 400 times 24 MB.
// Reduced to the long edge, the proxy costs what a readable scan's would.
LinearImage withinLongEdge(LinearImage image, int64_t longEdge) {
  const int64_t longSide = std::max(image.width(), image.height());
  if (longSide <= longEdge) return image;
  const double factor = static_cast<double>(longEdge) / static_cast<double>(longSide);
  const auto side = [&](int64_t value) {
    return std::max<int64_t>(1, std::llround(static_cast<double>(value) * factor));
  };
  return LanczosResampler::resample(image, side(image.width()), side(image.height()));
}

int64_t bytesOf(const LinearImage& image) {
  return static_cast<int64_t>(image.valueCount() * sizeof(float));
}

// The unconverted picture as sRGB-encoded floats: each value first limited to 1, then values
// below 0 become 0, alpha dropped.
PrintImage encodedPicture(const LinearImage& image) {
  PrintImage picture(image.width(), image.height());
  const int64_t width = image.width();
  parallelForRows(image.height(), [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      const float* in = image.row(y);
      float* out = picture.row(y);
      for (int64_t x = 0; x < width; ++x) {
        for (int c = 0; c < 3; ++c) {
          float v = std::min(in[4 * x + c], 1.0f);
          if (v < 0) v = 0;
          out[3 * x + c] = SrgbCurve::encode(v);
        }
      }
    }
  });
  return picture;
}

}  // namespace

RenderCache::Backend RenderCache::libraryBackend() {
  return {FlatField::decodeCorrected, Decoder::pixelSize};
}

RenderCache::RenderCache(int64_t longEdge, int64_t capacity, Backend backend)
    : longEdge_(longEdge),
      capacity_(std::max<int64_t>(1, capacity)),
      backend_(std::move(backend)) {}

double RenderCache::proxyScale(const std::filesystem::path& url) const {
  const auto size = backend_.pixelSize(url);
  if (!size) return 0.25;
  const double quotient = static_cast<double>(longEdge_) / std::max(size->first, size->second);
  return quotient < 1 ? quotient : 1;
}

LinearImage RenderCache::decodeProxy(const std::filesystem::path& url,
                                     const ConversionSettings& settings) {
  const double scale = proxyScale(url);
  LinearImage image = backend_.decode(url, settings, scale);
  ++decodes_;
  return withinLongEdge(std::move(image), longEdge_);
}

LinearImage RenderCache::proxy(const std::filesystem::path& url,
                               const ConversionSettings& settings) {
  const ProxyKey key = ProxyKey::of(url, settings);
  if (const auto hit = proxies_.find(key); hit != proxies_.end()) {
    touch(key);
    return hit->second;
  }
  LinearImage image = decodeProxy(key.url, settings);
  proxies_.insert_or_assign(key, image);
  cachedBytes_ += bytesOf(image);
  order_.push_back(key);
  evictBeyondCapacity();
  return image;
}

FilmAnalysis RenderCache::analysis(const std::filesystem::path& url,
                                   const ConversionSettings& settings) {
  const AnalysisKey key = AnalysisKey::of(url, settings);
  if (const auto hit = analyses_.find(key); hit != analyses_.end()) return hit->second;
  const LinearImage scan = proxy(url, settings);
  const FilmAnalysis measured = Converter::analyze(scan, settings);
  ++measurements_;
  analyses_.insert_or_assign(key, measured);
  return measured;
}

PreviewImage RenderCache::render(const std::filesystem::path& url,
                                 const ConversionSettings& settings, bool crop) {
  const FilmAnalysis measured = analysis(url, settings);
  const LinearImage scan = proxy(url, settings);
  const NormRect region = crop ? measured.crop : NormRect{0, 0, 1, 1};
  const LinearImage straightened = Geometry::straightenAndCrop(scan, settings.skewDegrees, region);
  auto image = PreviewImage::make(encodedPicture(straightened));
  if (!image) throw RenderError::encode();
  return std::move(*image);
}

PrintImage RenderCache::convert(const LinearImage& scan, const FilmAnalysis& analysis,
                                const ConversionSettings& settings, bool applyCrop,
                                bool addBorder) {
  ++conversions_;
  return Converter::process(scan, analysis, settings, applyCrop, addBorder);
}

void RenderCache::touch(const ProxyKey& key) {
  std::erase(order_, key);
  order_.push_back(key);
}

void RenderCache::forgetProxy(const ProxyKey& key) {
  if (const auto found = proxies_.find(key); found != proxies_.end()) {
    cachedBytes_ -= bytesOf(found->second);
    proxies_.erase(found);
  }
}

void RenderCache::evictBeyondCapacity() {
  while (static_cast<int64_t>(order_.size()) > capacity_) {
    forgetProxy(order_.front());
    order_.erase(order_.begin());
  }
}

void RenderCache::invalidate(const std::filesystem::path& url) {
  const std::filesystem::path file = ScanPath::normal(url);
  std::erase_if(order_, [&](const ProxyKey& key) {
    if (key.url != file) return false;
    forgetProxy(key);
    return true;
  });
  std::erase_if(analyses_, [&](const auto& entry) { return entry.first.proxy.url == file; });
}

void RenderCache::clear() {
  proxies_.clear();
  order_.clear();
  analyses_.clear();
  cachedBytes_ = 0;
}

RenderCache::Counts RenderCache::counts() const {
  return {decodes_.load(), measurements_.load(), conversions_.load(), cachedBytes_.load()};
}
