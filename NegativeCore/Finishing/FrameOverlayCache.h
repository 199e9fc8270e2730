// The cache of decoded film-frame overlays, keyed by frame id. A decoded overlay costs 16 bytes
// a pixel, so the cache is bounded by bytes: storing past the bound evicts the least recently
// used overlays (never the one just stored), and an evicted overlay is decoded again on next
// use. Guarded by a lock; overlays are shared, so eviction never disturbs a composite in flight.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "Finishing/FilmFrames.h"

class FrameOverlayCache {
 public:
  // Enough for the three largest frames of the library at once.
  static constexpr size_t defaultByteLimit = size_t(160) << 20;

  explicit FrameOverlayCache(size_t byteLimit = defaultByteLimit) : byteLimit_(byteLimit) {}

  // The cached overlay, which becomes the most recently used; null when absent.
  std::shared_ptr<const FilmFrames::Box> find(std::string_view id);

  // Stores or replaces the overlay of id, then evicts the least recently used others until the
  // cache is within its bound.
  void store(const std::string& id, std::shared_ptr<const FilmFrames::Box> box);

  size_t bytes() const;
  size_t count() const;

  // The process-wide cache the frames use.
  static FrameOverlayCache& shared();

 private:
  struct Entry {
    std::string id;
    std::shared_ptr<const FilmFrames::Box> box;
  };
  using Order = std::list<Entry>;  // most recently used first

  void remove(Order::iterator entry);

  mutable std::mutex mutex_;
  size_t byteLimit_;
  size_t bytes_ = 0;
  Order order_;
  std::unordered_map<std::string, Order::iterator> index_;
};
