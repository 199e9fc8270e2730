// A print of one colour, the starting point of many finishing and measuring tests.
#pragma once

#include <cstdint>

#include "Print/PrintImage.h"

inline PrintImage filledPrint(int64_t width, int64_t height, float r, float g, float b) {
  PrintImage print(width, height);
  for (int64_t i = 0; i < width * height; ++i) {
    print.rgb[i * 3] = r;
    print.rgb[i * 3 + 1] = g;
    print.rgb[i * 3 + 2] = b;
  }
  return print;
}
