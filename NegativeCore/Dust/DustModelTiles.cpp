#include "Dust/DustModelTiles.h"

#include <algorithm>

namespace DustModel {

int64_t paddedSide(int64_t n) { return n + 15 < 64 ? 64 : (n + 15) / 16 * 16; }

int64_t mirroredIndex(int64_t i, int64_t n) {
  return i < n ? i : std::max<int64_t>(2 * n - 2 - i, 0);
}

std::vector<float> tileInput(const std::vector<float>& luma, int64_t width, int64_t left,
                             int64_t top, int64_t columns, int64_t rows) {
  const int64_t paddedRows = paddedSide(rows);
  const int64_t paddedColumns = paddedSide(columns);
  std::vector<float> input(static_cast<size_t>(paddedRows * paddedColumns));
  for (int64_t i = 0; i < paddedRows; ++i) {
    const float* source = luma.data() + (top + mirroredIndex(i, rows)) * width + left;
    float* target = input.data() + i * paddedColumns;
    std::copy(source, source + columns, target);
    for (int64_t j = columns; j < paddedColumns; ++j) target[j] = source[mirroredIndex(j, columns)];
  }
  return input;
}

}  // namespace DustModel
