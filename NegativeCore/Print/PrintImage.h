// The working print: interleaved RGB floats, three a pixel, rows top to bottom, values 0…1 as
// the print stage leaves them. Print stages change `rgb` in place; a border or a frame builds a
// new, larger print. The values' memory comes from the PlanePool and goes back to it with the
// print.
#pragma once

#include <cstdint>
#include <vector>

struct PrintImage {
  int64_t width = 0;
  int64_t height = 0;
  std::vector<float> rgb;

  PrintImage() = default;
  // Zero-filled print of the given size.
  PrintImage(int64_t width, int64_t height);
  // Takes the values; their count must be width × height × 3 (anything else stops the process).
  PrintImage(int64_t width, int64_t height, std::vector<float> rgb);
  // A print of the given size whose values are unspecified, for a stage that writes every one.
  static PrintImage forOverwrite(int64_t width, int64_t height);

  PrintImage(const PrintImage&) = default;
  PrintImage(PrintImage&&) = default;
  PrintImage& operator=(const PrintImage&) = default;
  PrintImage& operator=(PrintImage&& other) noexcept;
  ~PrintImage();

  float* row(int64_t y) { return rgb.data() + y * width * 3; }
  const float* row(int64_t y) const { return rgb.data() + y * width * 3; }
};
