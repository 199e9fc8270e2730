#include "Model/DustFinds.h"

#include <algorithm>

namespace DustFinds {

std::vector<size_t> sampleIndices(const std::vector<std::filesystem::path>& scans,
                                  size_t selected) {
  if (selected >= scans.size()) return {};
  const std::filesystem::path folder = scans[selected].parent_path();
  std::vector<size_t> others;
  for (size_t i = 0; i < scans.size(); ++i) {
    if (i != selected && scans[i].parent_path() == folder) others.push_back(i);
  }
  const auto distance = [selected](size_t i) { return i > selected ? i - selected : selected - i; };
  std::stable_sort(others.begin(), others.end(),
                   [&](size_t a, size_t b) { return distance(a) < distance(b); });
  if (others.size() > 4) others.resize(4);
  return others;
}

Uuid candidateID(const std::vector<Spot>& candidate) {
  if (candidate.empty()) return Uuid();
  return candidate.front().group.value_or(candidate.front().id);
}

bool isFaint(const std::vector<Spot>& candidate) {
  return !candidate.empty() && candidate.front().score && *candidate.front().score < 0.5;
}

std::set<Uuid> faintIDs(const std::vector<std::vector<Spot>>& candidates) {
  std::set<Uuid> ids;
  for (const auto& candidate : candidates) {
    if (isFaint(candidate)) ids.insert(candidateID(candidate));
  }
  return ids;
}

std::vector<Spot> repairsFor(const std::vector<std::vector<Spot>>& candidates,
                             const std::set<Uuid>& kept) {
  std::vector<Spot> repairs;
  for (const auto& candidate : candidates) {
    if (kept.contains(candidateID(candidate))) continue;
    for (Spot spot : candidate) {
      spot.kind = SpotKind::heal;
      spot.score.reset();
      repairs.push_back(spot);
    }
  }
  return repairs;
}

size_t removedCount(const std::vector<std::vector<Spot>>& candidates, const std::set<Uuid>& kept) {
  return static_cast<size_t>(
      std::count_if(candidates.begin(), candidates.end(), [&](const std::vector<Spot>& candidate) {
        return !candidate.empty() && !kept.contains(candidateID(candidate));
      }));
}

QString removalNotice(size_t count, const QString& undoKey) {
  QString text = "Removed " + QString::number(count) + " dust speck" + (count == 1 ? "" : "s");
  // Nothing was recorded, so the undo key would take back some earlier, unrelated edit.
  if (count == 0) return text + ".";
  return text + ". " + undoKey + " brings them back; Select Repairs shows each one.";
}

}  // namespace DustFinds
