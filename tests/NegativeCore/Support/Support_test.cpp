// The shared building blocks: the parallel helper, new large buffers, identifiers, atomic writes,
// vector maths.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include "Support/AtomicFile.h"
#include "Support/LargePages.h"
#include "Support/ParallelFor.h"
#include "Support/Uuid.h"
#include "Support/VectorMath.h"
#include "TestSupport/ReadOnlyFolder.h"
#include "TestSupport/TempDir.h"

namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ParallelFor, VisitsEveryIndexOnceAndChunksRows) {
  std::vector<std::atomic<int>> hits(1000);
  parallelFor(1000, [&](int64_t i) { hits[i]++; });
  for (auto& h : hits) EXPECT_EQ(h.load(), 1);

  const int64_t processors = ParallelFor::activeProcessorCount();
  EXPECT_EQ(ParallelFor::rowsPerChunk(1), 1);
  EXPECT_EQ(ParallelFor::rowsPerChunk(1000), std::max<int64_t>(1, 1000 / (4 * processors)));

  std::vector<std::atomic<int>> rows(997);
  parallelForRows(997, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) rows[y]++;
  });
  for (auto& r : rows) EXPECT_EQ(r.load(), 1);
}

// New buffers are touched page by page before they are filled: whatever the size (none, less
// than a page, a page and a bit, several huge pages and an odd tail), they hold exactly the
// values asked for, all zero.
TEST(LargePages, FreshBuffersHoldZerosOfTheSizeAsked) {
  for (const size_t count : {size_t{0}, size_t{1}, size_t{2049}, (size_t{5} << 20) + 3}) {
    SCOPED_TRACE(count);
    const std::vector<uint16_t> samples = LargePages::fresh<uint16_t>(count);
    EXPECT_EQ(samples.size(), count);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](uint16_t v) { return v == 0; }));
    const std::vector<float> values = LargePages::fresh<float>(count);
    EXPECT_EQ(values.size(), count);
    EXPECT_TRUE(std::all_of(values.begin(), values.end(), [](float v) { return v == 0.0f; }));
  }
}

TEST(Uuid, WritesUpperCaseAndReadsEitherCase) {
  const Uuid id = Uuid::random();
  const std::string text = id.toString();
  ASSERT_EQ(text.size(), 36u);
  EXPECT_EQ(text[14], '4');  // version 4
  for (char c : text) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '-');
  EXPECT_EQ(Uuid::fromString(text), id);

  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(c));
  EXPECT_EQ(Uuid::fromString(lower), id);
  EXPECT_NE(Uuid::random(), id);

  for (const char* bad :
       {"", "not-a-uuid", "123e4567e89b12d3a456426614174000",
        "123e4567-e89b-12d3-a456-42661417400g", "{123e4567-e89b-12d3-a456-426614174000}"})
    EXPECT_EQ(Uuid::fromString(bad), std::nullopt) << bad;
}

TEST(AtomicFile, ReplacesTargetAndLeavesNothingBehind) {
  TempDir dir;
  const auto target = dir / "record.json";
  AtomicFile::write(target, "first");
  AtomicFile::write(target, "second");
  EXPECT_EQ(readFile(target), "second");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(AtomicFile, FailureKeepsTheOldFile) {
  TempDir dir;
  const auto target = dir / "missing-folder" / "record.json";
  EXPECT_THROW(AtomicFile::write(target, "data"), std::filesystem::filesystem_error);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing-folder"));
}

TEST(AtomicFile, ReadOnlyFolderKeepsTheOldFile) {
  TempDir dir;
  AtomicFile::write(dir / "a.json", "old");
  {
    ReadOnlyFolder readOnly(dir.path());
    EXPECT_THROW(AtomicFile::write(dir / "a.json", "new"), std::filesystem::filesystem_error);
  }
  EXPECT_EQ(readFile(dir / "a.json"), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(AtomicFile, WritesThroughATemporaryFileByName) {
  TempDir dir;
  const auto target = dir / "image.tif";
  AtomicFile::write(target, "old");
  std::filesystem::path seen;
  AtomicFile::writeThrough(target, [&](const std::filesystem::path& temporary) {
    seen = temporary;
    EXPECT_EQ(temporary.parent_path(), dir.path());
    EXPECT_NE(temporary, target);
    std::ofstream(temporary, std::ios::binary) << "new";
  });
  EXPECT_EQ(readFile(target), "new");
  EXPECT_FALSE(std::filesystem::exists(seen));

  // A writer that fails leaves the old file and no temporary one.
  EXPECT_THROW(AtomicFile::writeThrough(target,
                                        [&](const std::filesystem::path& temporary) {
                                          std::ofstream(temporary) << "partial";
                                          throw std::runtime_error("encoder failed");
                                        }),
               std::runtime_error);
  EXPECT_EQ(readFile(target), "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// Compares the vector forms with libm in units in the last place.
double ulpDistance(float a, float b) {
  if (a == b) return 0;
  return std::fabs(static_cast<double>(a) - b) / std::fabs(std::nextafter(b, INFINITY) - b);
}

TEST(VectorMath, MatchesScalarWithinAFewUlp) {
  std::vector<float> in;
  for (int i = 1; i < 5000; ++i) in.push_back(static_cast<float>(i) * 0.00037f);
  in.push_back(1e-6f);
  std::vector<float> out(in.size());
  struct Case {
    const char* name;
    void (*vector)(const float*, float*, size_t);
    float (*scalar)(float);
    double ulps;
  };
  const Case cases[] = {
      {"log10", VectorMath::log10, [](float x) { return std::log10(x); }, 4},
      {"log", VectorMath::log, [](float x) { return std::log(x); }, 4},
      {"exp", VectorMath::exp, [](float x) { return std::exp(x); }, 4},
      {"exp10", VectorMath::exp10, [](float x) { return std::pow(10.0f, x); }, 8},
  };
  for (const auto& c : cases) {
    c.vector(in.data(), out.data(), in.size());
    double worst = 0;
    for (size_t i = 0; i < in.size(); ++i)
      worst = std::max(worst, ulpDistance(out[i], c.scalar(in[i])));
    EXPECT_LE(worst, c.ulps) << c.name;
  }

  VectorMath::pow(in.data(), 1.0f / 2.2f, out.data(), in.size());
  for (size_t i = 0; i < in.size(); ++i)
    EXPECT_LE(ulpDistance(out[i], std::pow(in[i], 1.0f / 2.2f)), 8);
  const float edge[] = {0.0f, -1.0f, 1.0f};
  float edgeOut[3];
  VectorMath::pow(edge, 2.2f, edgeOut, 3);
  EXPECT_EQ(edgeOut[0], 0.0f);
  EXPECT_EQ(edgeOut[1], 0.0f);
  EXPECT_FLOAT_EQ(edgeOut[2], 1.0f);
}

}  // namespace
