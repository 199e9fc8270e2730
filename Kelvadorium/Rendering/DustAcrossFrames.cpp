#include "Rendering/DustAcrossFrames.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "Conversion/Geometry.h"

namespace DustAcrossFrames {

namespace {

double distance(const Spot& a, const Spot& b) { return std::hypot(a.x - b.x, a.y - b.y); }

bool anyCloser(const std::vector<Spot>& spots, const std::function<bool(const Spot&)>& test) {
  return std::any_of(spots.begin(), spots.end(), test);
}

}  // namespace

void confirmRepeats(std::vector<Spot>& finds, const std::vector<std::vector<Spot>>& samples) {
  if (samples.size() < 2) return;
  for (Spot& find : finds) {
    const double reach = std::max(2 * find.r, 0.004);
    const auto seen = std::count_if(samples.begin(), samples.end(), [&](const auto& sample) {
      return anyCloser(sample, [&](const Spot& s) { return distance(find, s) < reach; });
    });
    if (seen >= 2) find.score = 1;
  }
}

std::vector<Spot> blankFrameAdditions(const std::vector<Spot>& specks,
                                      const std::vector<Spot>& finds, const CropView& view) {
  std::vector<Spot> kept;
  for (const Spot& speck : specks) {
    if (!isInsideCrop(view.width, view.height, view.angle, {speck.x, speck.y}, view.crop))
      continue;
    const bool found = anyCloser(finds, [&](const Spot& find) {
      return distance(speck, find) < 1.5 * std::max(speck.r, find.r);
    });
    if (!found) kept.push_back(speck);
  }
  return kept;
}

void giveSources(std::vector<Spot>& additions, const std::vector<Spot>& finds,
                 const std::vector<Spot>& repairs, const SourceSearch& search) {
  for (Spot& spot : additions) {
    std::vector<Spot> keepClear = finds;
    keepClear.insert(keepClear.end(), additions.begin(), additions.end());
    keepClear.insert(keepClear.end(), repairs.begin(), repairs.end());
    const Healer::SourcePoint source = search(spot, keepClear);
    spot.sx = source.sx;
    spot.sy = source.sy;
  }
}

std::vector<Spot> withoutCovered(std::vector<Spot> spots, const std::vector<Spot>& repairs) {
  std::erase_if(spots, [&](const Spot& spot) {
    return anyCloser(repairs, [&](const Spot& repair) {
      return distance(spot, repair) < std::max(spot.r, repair.r);
    });
  });
  return spots;
}

std::vector<std::vector<Spot>> grouped(const std::vector<Spot>& spots) {
  std::unordered_map<Uuid, size_t> opened;
  std::vector<std::vector<Spot>> groups;
  for (const Spot& spot : spots) {
    const auto [at, isNew] = opened.try_emplace(spot.group.value_or(spot.id), groups.size());
    if (isNew) groups.emplace_back();
    groups[at->second].push_back(spot);
  }
  return groups;
}

std::vector<std::vector<Spot>> refine(Finds finds, const SourceSearch& search) {
  confirmRepeats(finds.scan, finds.samples);
  std::vector<Spot> additions = blankFrameAdditions(finds.blankFrame, finds.scan, finds.view);
  giveSources(additions, finds.scan, finds.repairs, search);
  std::vector<Spot> all = std::move(finds.scan);
  all.insert(all.end(), additions.begin(), additions.end());
  return grouped(withoutCovered(std::move(all), finds.repairs));
}

}  // namespace DustAcrossFrames
