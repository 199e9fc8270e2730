// The turned picture's sampler: the wide path (eight samples at a time, plain loads along a row
// or gathers across rows) must give what the four-at-a-time path gives, at every angle a drag
// can reach, and blend over the background only where the picture is not opaque.
#include "Preview/TurnSampler.h"

#include <gtest/gtest.h>

#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Premultiplied texels whose neighbours differ by at most a few levels, as in a photograph; the
// alpha channel is opaque unless `alpha` says otherwise.
std::vector<quint32> texture(int width, int height, quint32 alpha = 255) {
  std::vector<quint32> pixels(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto channel = [&](double phase) {
        return static_cast<quint32>(alpha * (0.5 + 0.45 * std::sin(x * 0.11 + y * 0.07 + phase)));
      };
      pixels[static_cast<size_t>(y) * width + x] =
          (alpha << 24) | (channel(0) << 16) | (channel(2) << 8) | channel(4);
    }
  }
  return pixels;
}

int largestDifference(quint32 a, quint32 b) {
  int most = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    most = std::max(most, std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)));
  }
  return most;
}

struct Row {
  const char* name;
  double degrees;
  double scale;  // texels per device pixel
};

TEST(TurnSampler, TheWidePathAgreesWithTheNarrowOneAtEveryAngle) {
  const int width = 400;
  const int height = 300;
  const std::vector<quint32> pixels = texture(width, height);
  const Row rows[] = {{"upright", 0, 1},      {"a hair", 0.3, 1},          {"straightening", -2, 1},
                      {"five degrees", 5, 1}, {"steep", -17, 1},           {"thirty", 30, 1},
                      {"the limit", 45, 1},   {"the other limit", -45, 1}, {"reduced", 7, 1.6},
                      {"enlarged", -3, 0.4}};
  for (const Row& row : rows) {
    const double turn = row.degrees * M_PI / 180;
    const qint64 stepU = std::llround(std::cos(turn) * row.scale * 65536);
    const qint64 stepV = std::llround(std::sin(turn) * row.scale * 65536);
    // Runs of every length up to a few dozen samples, from many starting points inside.
    for (int start = 0; start < 40; ++start) {
      const int count = 1 + (start * 7) % 61;
      const qint64 u = (qint64(100) << 16) + start * 40503;
      const qint64 v = (qint64(120) << 16) + start * 24989;
      std::vector<quint32> wide(count, 0x12345678);
      std::vector<quint32> narrow(count, 0x12345678);
      TurnSampler::inner(pixels.data(), width, width, u, v, stepU, stepV, wide.data(), count,
                         false);
      TurnSampler::innerNarrow(pixels.data(), width, width, u, v, stepU, stepV, narrow.data(),
                               count, false);
      for (int k = 0; k < count; ++k) {
        ASSERT_LE(largestDifference(wide[k], narrow[k]), 2)
            << row.name << " start " << start << " sample " << k;
      }
    }
  }
}

TEST(TurnSampler, RunsAlongTheLastRowsAndColumnsStayInside) {
  // Samples whose windows end at the picture's last texels: a read past them would fault or
  // show in the result.
  const int width = 64;
  const int height = 4;
  const std::vector<quint32> pixels = texture(width, height);
  // Whole texels, and a little less, across: the windows of the last runs reach the edge.
  for (qint64 stepU : {qint64(65536), qint64(65000), qint64(60000)}) {
    const int count = 48;
    const qint64 u = qint64(width - 2 - count) << 16;
    const qint64 v = (qint64(height - 2) << 16) + 32768;
    std::vector<quint32> wide(count);
    std::vector<quint32> narrow(count);
    TurnSampler::inner(pixels.data(), width, width, u, v, stepU, 0, wide.data(), count, false);
    TurnSampler::innerNarrow(pixels.data(), width, width, u, v, stepU, 0, narrow.data(), count,
                             false);
    for (int k = 0; k < count; ++k) ASSERT_LE(largestDifference(wide[k], narrow[k]), 2) << k;
  }
}

TEST(TurnSampler, BlendingKeepsTheBackgroundUnderTransparentPartsOnly) {
  const int width = 200;
  const int height = 100;
  const quint32 background = 0xff204060;
  struct Case {
    const char* name;
    quint32 alpha;
  };
  for (const Case& c : {Case{"opaque", 255}, Case{"half", 128}, Case{"clear", 0}}) {
    const std::vector<quint32> pixels = texture(width, height, c.alpha);
    const int count = 64;
    std::vector<quint32> out(count, background);
    const qint64 u = qint64(20) << 16;
    const qint64 v = qint64(30) << 16;
    TurnSampler::inner(pixels.data(), width, width, u, v, 65536, 3000, out.data(), count, true);
    for (int k = 0; k < count; ++k) {
      quint32 alone = 0;
      TurnSampler::innerNarrow(pixels.data(), width, width, u + k * 65536, v + k * 3000, 65536,
                               3000, &alone, 1, false);
      quint32 expected = background;
      TurnSampler::over(expected, alone);
      ASSERT_LE(largestDifference(out[k], expected), 2) << c.name << " " << k;
    }
    if (c.alpha == 0) {
      EXPECT_EQ(out.front(), background);
    } else if (c.alpha == 255) {
      EXPECT_EQ(out.front() >> 24, 255u);
      EXPECT_NE(out.front(), background);
    }
  }
}

}  // namespace
