#include "Model/RollFrames.h"

namespace RollFrames {

std::vector<size_t> pick(const std::vector<ImageItem>& items, std::optional<size_t> selected,
                         const std::set<Uuid>& marked) {
  std::vector<size_t> frames;
  if (!selected || *selected >= items.size()) return frames;
  const FilmMode mode = items[*selected].settings.mode;
  if (mode == FilmMode::bwNegative) return frames;
  size_t markedHere = 0;
  for (const ImageItem& item : items) markedHere += marked.contains(item.id) ? 1 : 0;
  const bool onlyMarked = markedHere >= 2;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].settings.mode != mode) continue;
    if (onlyMarked && !marked.contains(items[i].id)) continue;
    frames.push_back(i);
  }
  return frames;
}

}  // namespace RollFrames
