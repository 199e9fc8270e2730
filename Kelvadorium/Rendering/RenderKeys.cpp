#include "Rendering/RenderKeys.h"

#include <functional>

#include "Model/ScanPath.h"

namespace {

size_t combine(size_t seed, size_t value) {
  return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

}  // namespace

ProxyKey ProxyKey::of(const std::filesystem::path& url, const ConversionSettings& settings) {
  // Bitwise, not %: in C++ −1 % 4 is −1, and a turn back must share the key of three turns on.
  return {ScanPath::normal(url), static_cast<int>(settings.rotationQuarterTurns & 3),
          settings.mirrored, settings.flatField.value_or("")};
}

AnalysisKey AnalysisKey::of(const std::filesystem::path& url, const ConversionSettings& settings) {
  return {ProxyKey::of(url, settings), settings.analysisKey()};
}

size_t std::hash<ProxyKey>::operator()(const ProxyKey& key) const noexcept {
  size_t seed = std::filesystem::hash_value(key.url);
  seed = combine(seed, std::hash<int>{}(key.rotation));
  seed = combine(seed, std::hash<bool>{}(key.mirrored));
  return combine(seed, std::hash<std::string>{}(key.flatField));
}

size_t std::hash<AnalysisKey>::operator()(const AnalysisKey& key) const noexcept {
  return combine(std::hash<ProxyKey>{}(key.proxy), std::hash<std::string>{}(key.measurement));
}
