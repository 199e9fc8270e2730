// Moving a row of interleaved RGB floats to three separate channel rows and back, with vector
// instructions (Google Highway, dispatched at run time). Per-pixel steps that work on
// separate channel rows vectorise; on interleaved triples they do not.
#pragma once

#include <cstddef>

namespace RgbRows {

// rgb holds count triples; red, green and blue receive count values each.
void split(const float* rgb, float* red, float* green, float* blue, size_t count);
// The reverse: count values of each channel into count interleaved triples.
void merge(const float* red, const float* green, const float* blue, float* rgb, size_t count);

}  // namespace RgbRows
