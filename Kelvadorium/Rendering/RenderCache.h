// What one renderer holds and does, run only on its worker: scans decoded at one long edge
// ("proxies") in a small least-recently-used cache, their film analyses in a cache without
// bound, and the renders that need both. Not thread-safe: the owning Renderer serialises every
// call. The counters alone may be read from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Conversion/FilmAnalysis.h"
#include "Conversion/LinearImage.h"
#include "Print/PrintImage.h"
#include "Record/ConversionSettings.h"
#include "Rendering/PreviewImage.h"
#include "Rendering/RenderKeys.h"

class RenderCache {
 public:
  // The library calls a cache makes; tests replace them to fail or count decodes.
  struct Backend {
    std::function<LinearImage(const std::filesystem::path&, const ConversionSettings&, double)>
        decode;
    std::function<std::optional<std::pair<double, double>>(const std::filesystem::path&)> pixelSize;
  };
  // FlatField::decodeCorrected and Decoder::pixelSize.
  static Backend libraryBackend();

  struct Counts {
    int64_t decodes = 0;
    int64_t measurements = 0;
    int64_t conversions = 0;
    int64_t cachedBytes = 0;  // pixels of the proxies held
  };

  RenderCache(int64_t longEdge, int64_t capacity, Backend backend = libraryBackend());

  int64_t longEdge() const { return longEdge_; }
  int64_t capacity() const { return capacity_; }

  // The scan decoded at this cache's long edge with the record's orientation and blank frame.
  // A hit moves its key to the most recent end and never evicts; a miss decodes, stores and
  // evicts the least recently used beyond the capacity. Throws the decoder's DecodeError and then
  // changes nothing.
  LinearImage proxy(const std::filesystem::path& url, const ConversionSettings& settings);
  // The film analysis of that proxy for the record; a miss measures (taking the proxy first).
  // Analyses keep no recency and outlive their proxies.
  FilmAnalysis analysis(const std::filesystem::path& url, const ConversionSettings& settings);
  // The scan as decoded, without conversion: straightened, cut to the analysis crop when `crop`
  // is set, sRGB-encoded in float. Throws DecodeError, or RenderError::encode when no image
  // results.
  PreviewImage render(const std::filesystem::path& url, const ConversionSettings& settings,
                      bool crop);
  // Converter::process, counted.
  PrintImage convert(const LinearImage& scan, const FilmAnalysis& analysis,
                     const ConversionSettings& settings, bool applyCrop, bool addBorder);

  // Forgets every proxy and analysis of one file, in any orientation or measurement.
  void invalidate(const std::filesystem::path& url);
  // Forgets everything.
  void clear();

  // The decode scale of a miss: long edge over the larger side, 1 when that is not below 1,
  // 0.25 when the size cannot be read.
  double proxyScale(const std::filesystem::path& url) const;

  // The decoding calls, for work on the worker that decodes beside the cache.
  const Backend& backend() const { return backend_; }
  const std::vector<ProxyKey>& order() const { return order_; }
  size_t proxyCount() const { return proxies_.size(); }
  size_t analysisCount() const { return analyses_.size(); }
  bool holdsAnalysis(const AnalysisKey& key) const { return analyses_.contains(key); }
  Counts counts() const;

 private:
  LinearImage decodeProxy(const std::filesystem::path& url, const ConversionSettings& settings);
  // proxyScale, or nothing when the size cannot be read.
  std::optional<double> scaleForReadableSize(const std::filesystem::path& url) const;
  void touch(const ProxyKey& key);
  void evictBeyondCapacity();
  void forgetProxy(const ProxyKey& key);

  int64_t longEdge_;
  int64_t capacity_;
  Backend backend_;
  std::unordered_map<ProxyKey, LinearImage> proxies_;
  std::vector<ProxyKey> order_;  // least recently used first
  std::unordered_map<AnalysisKey, FilmAnalysis> analyses_;
  std::atomic<int64_t> decodes_{0};
  std::atomic<int64_t> measurements_{0};
  std::atomic<int64_t> conversions_{0};
  std::atomic<int64_t> cachedBytes_{0};
};
