// How the dust model sees a plane: tiles with margins of context, each padded after its last row
// and column by mirroring (without repeating the edge) to a size the network takes.
#pragma once

#include <cstdint>
#include <vector>

namespace DustModel {

// The side a tile of n pixels is run at: the smallest multiple of 16 that holds it, at least 64.
int64_t paddedSide(int64_t n);

// The tile row (or column) that padded position i of a tile of n rows shows: i itself inside
// the tile, beyond it the tile mirrored about its last row, max(2n − 2 − i, 0).
int64_t mirroredIndex(int64_t i, int64_t n);

// The padded input of the tile whose top-left pixel is (left, top) and which holds rows ×
// columns pixels of the width-wide plane: paddedSide(rows) × paddedSide(columns) values.
std::vector<float> tileInput(const std::vector<float>& luma, int64_t width, int64_t left,
                             int64_t top, int64_t columns, int64_t rows);

}  // namespace DustModel
