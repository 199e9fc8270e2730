// The keys of a renderer's caches. A proxy is one decode of a file in one orientation with one
// blank frame; an analysis is one measurement of such a proxy.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "Record/ConversionSettings.h"

struct ProxyKey {
  std::filesystem::path url;  // absolute and lexically normal
  int rotation = 0;           // the record's quarter turns & 3, so −1 is 3 and 5 is 1
  bool mirrored = false;
  std::string flatField;  // the blank frame's path; no blank frame and "" are one key

  static ProxyKey of(const std::filesystem::path& url, const ConversionSettings& settings);

  friend bool operator==(const ProxyKey&, const ProxyKey&) = default;
};

struct AnalysisKey {
  ProxyKey proxy;
  std::string measurement;  // ConversionSettings::analysisKey()

  static AnalysisKey of(const std::filesystem::path& url, const ConversionSettings& settings);

  friend bool operator==(const AnalysisKey&, const AnalysisKey&) = default;
};

template <>
struct std::hash<ProxyKey> {
  size_t operator()(const ProxyKey& key) const noexcept;
};

template <>
struct std::hash<AnalysisKey> {
  size_t operator()(const AnalysisKey& key) const noexcept;
};
