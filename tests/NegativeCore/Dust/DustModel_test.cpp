// The dust model's runtime: tiling with margins and mirrored padding against a reference
// computed here pixel by pixel with the fixture model (one fixed 5 × 5 filter), predictions from
// several threads, the once-per-process loading (each case in a fresh process), and the turning
// of probability maps into spots.
#include "Dust/DustModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "Dust/DustModelTiles.h"
#include "Resources/ResourceBundle.h"
#include "TestSupport/ChildProcess.h"
#include "TestSupport/TempDir.h"

namespace fs = std::filesystem;

namespace {

const fs::path fixtures = KV_TEST_FIXTURES;
const fs::path fixtureModel = fixtures / "DustFixture5x5.onnx";

// The fixture's filter, as tools/dustnet/make_fixtures.py writes it.
float fixtureWeight(int a, int b) {
  return float((5 * a + b) % 7 - 3) / 16 + (a == 2 && b == 2 ? 1.0f : 0.0f);
}
constexpr float fixtureBias = 1.0f / 32;

// The probability the fixture gives pixel (x, y) of the plane when run tile by tile, worked out
// for that pixel alone: its tile, the tile's context rows and columns, the padded size, the
// mirrored source of every filter tap, zeros beyond the padded input.
float referenceProbability(const std::vector<float>& luma, int64_t width, int64_t height,
                           int64_t tile, int64_t margin, int64_t x, int64_t y) {
  const int64_t tileTop = y / tile * tile, tileLeft = x / tile * tile;
  const int64_t top = std::max<int64_t>(tileTop - margin, 0);
  const int64_t left = std::max<int64_t>(tileLeft - margin, 0);
  const int64_t rows = std::min(tileTop + tile + margin, height) - top;
  const int64_t columns = std::min(tileLeft + tile + margin, width) - left;
  auto padded = [](int64_t n) {
    int64_t side = 64;
    while (side < n) side += 16;
    return side;
  };
  const int64_t paddedRows = padded(rows), paddedColumns = padded(columns);
  auto source = [](int64_t i, int64_t n) {
    if (i < n) return i;
    const int64_t mirrored = 2 * n - 2 - i;
    return mirrored >= 0 ? mirrored : int64_t(0);
  };
  double sum = fixtureBias;
  for (int a = 0; a < 5; ++a) {
    for (int b = 0; b < 5; ++b) {
      const int64_t i = y - top + a - 2, j = x - left + b - 2;
      if (i < 0 || j < 0 || i >= paddedRows || j >= paddedColumns) continue;
      sum += double(fixtureWeight(a, b)) *
             luma[(top + source(i, rows)) * width + left + source(j, columns)];
    }
  }
  return float(sum);
}

std::vector<float> randomPlane(int64_t width, int64_t height, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> value(0, 1);
  std::vector<float> plane(width * height);
  for (float& v : plane) v = value(random);
  return plane;
}

void expectMatchesReference(const std::vector<float>& prob, const std::vector<float>& luma,
                            int64_t width, int64_t height, int64_t tile, int64_t margin) {
  ASSERT_EQ(prob.size(), luma.size());
  int64_t wrong = 0;
  for (int64_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < width; ++x)
      if (std::abs(prob[y * width + x] -
                   referenceProbability(luma, width, height, tile, margin, x, y)) > 2e-5f &&
          ++wrong <= 5)
        ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
  EXPECT_EQ(wrong, 0);
}

std::shared_ptr<DustModel::Model> fixture() {
  auto model = DustModel::Model::fromFile(fixtureModel);
  EXPECT_TRUE(model);
  return model;
}

TEST(DustModelTiles, PaddedSidesAreMultiplesOf16AndAtLeast64) {
  const std::pair<int64_t, int64_t> cases[] = {{1, 64},    {30, 64},    {49, 64},   {50, 64},
                                               {64, 64},   {65, 80},    {100, 112}, {112, 112},
                                               {113, 128}, {1088, 1088}};
  for (auto [n, side] : cases) EXPECT_EQ(DustModel::paddedSide(n), side) << n;
}

TEST(DustModelTiles, ThirtyRowsArePaddedTo64ByMirroringAndThenRow0) {
  const int64_t width = 3, height = 30;
  std::vector<float> luma(width * height);
  for (int64_t i = 0; i < width * height; ++i) luma[i] = float(i / width) + 0.01f * (i % width);
  const auto input = DustModel::tileInput(luma, width, 0, 0, width, height);
  ASSERT_EQ(input.size(), size_t(64 * 64));
  auto at = [&](int64_t row, int64_t column) { return input[row * 64 + column]; };
  for (int64_t row = 0; row < 30; ++row) EXPECT_EQ(at(row, 1), luma[row * width + 1]);
  for (int64_t row = 30; row <= 58; ++row) EXPECT_EQ(at(row, 0), float(58 - row)) << row;
  for (int64_t row = 59; row < 64; ++row) EXPECT_EQ(at(row, 2), luma[2]) << row;
  // Columns mirror the same way: 3, 4 show 1, 0; from 5 on column 0 repeats.
  EXPECT_EQ(at(7, 3), luma[7 * width + 1]);
  EXPECT_EQ(at(7, 4), luma[7 * width + 0]);
  EXPECT_EQ(at(7, 63), luma[7 * width + 0]);
}

TEST(DustModelPredict, TwoByTwoTilesWithMarginsMatchTheReference) {
  auto model = fixture();
  ASSERT_TRUE(model);
  const int64_t width = 150, height = 131, tile = 80, margin = 12;
  const auto luma = randomPlane(width, height, 1);
  const auto prob = DustModel::predictWith(*model, luma, width, height, tile, margin);
  ASSERT_TRUE(prob);
  expectMatchesReference(*prob, luma, width, height, tile, margin);
}

TEST(DustModelPredict, PlaneOf100By50RunsAsOneTileOf112By64) {
  auto model = fixture();
  ASSERT_TRUE(model);
  const auto luma = randomPlane(100, 50, 2);
  const auto prob = DustModel::predictWith(*model, luma, 100, 50, 1024, 32);
  ASSERT_TRUE(prob);
  expectMatchesReference(*prob, luma, 100, 50, 1024, 32);
  // The last row and column see the mirrored padding through the filter: a plane padded to any
  // other size, or by repeating the edge, gives other values there.
  std::vector<float> runAt(64 * 112);
  for (int64_t i = 0; i < 64; ++i)
    for (int64_t j = 0; j < 112; ++j)
      runAt[i * 112 + j] =
          luma[DustModel::mirroredIndex(i, 50) * 100 + DustModel::mirroredIndex(j, 100)];
  const auto whole = model->run(runAt, 64, 112);
  ASSERT_TRUE(whole);
  for (int64_t y = 0; y < 50; ++y)
    for (int64_t x = 0; x < 100; ++x) ASSERT_EQ((*prob)[y * 100 + x], (*whole)[y * 112 + x]);
}

TEST(DustModelPredict, FourThreadsPredictAtOnce) {
  auto model = fixture();
  ASSERT_TRUE(model);
  const int64_t width = 130, height = 97;
  std::vector<std::vector<float>> planes, results(4);
  for (unsigned k = 0; k < 4; ++k) planes.push_back(randomPlane(width, height, 10 + k));
  std::vector<std::thread> threads;
  for (size_t k = 0; k < 4; ++k) {
    threads.emplace_back([&, k] {
      for (int repeat = 0; repeat < 3; ++repeat) {
        auto prob = DustModel::predictWith(*model, planes[k], width, height, 64, 8);
        results[k] = prob ? *prob : std::vector<float>{};
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (size_t k = 0; k < 4; ++k)
    expectMatchesReference(results[k], planes[k], width, height, 64, 8);
}

TEST(DustModelPredict, ArgumentsThatDoNotDescribeThePlaneGiveNothing) {
  auto model = fixture();
  ASSERT_TRUE(model);
  const std::vector<float> luma(20 * 10, 0.5f);
  EXPECT_FALSE(DustModel::predictWith(*model, luma, 20, 11, 1024, 32));
  EXPECT_FALSE(DustModel::predictWith(*model, luma, 20, 10, 0, 32));
  EXPECT_FALSE(DustModel::predictWith(*model, luma, 20, 10, 1024, -1));
  const auto empty = DustModel::predictWith(*model, {}, 0, 0, 1024, 32);
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
  EXPECT_FALSE(model->run(std::vector<float>(64 * 64), 64, 63));
}

TEST(DustModelInput, LuminanceUsesBt601WeightsAndIsLimitedTo0To1) {
  const std::vector<float> rgb = {1, 0, 0, 0,  1,  0,  0,   0, 1, 0.5f, 0.5f, 0.5f,
                                  2, 2, 2, -1, -1, -1, NAN, 0, 0, 0.2f, 0.4f, 0.8f};
  const auto luma = DustModel::inputLuminance(4, 2, rgb);
  ASSERT_EQ(luma.size(), 8u);
  EXPECT_FLOAT_EQ(luma[0], 0.299f);
  EXPECT_FLOAT_EQ(luma[1], 0.587f);
  EXPECT_FLOAT_EQ(luma[2], 0.114f);
  EXPECT_FLOAT_EQ(luma[3], 0.5f);
  EXPECT_EQ(luma[4], 1.0f);
  EXPECT_EQ(luma[5], 0.0f);
  EXPECT_EQ(luma[6], 0.0f);
  EXPECT_FLOAT_EQ(luma[7], 0.299f * 0.2f + 0.587f * 0.4f + 0.114f * 0.8f);
  EXPECT_TRUE(DustModel::inputLuminance(4, 2, std::vector<float>(23)).empty());
}

// ---- Loading, each case in a fresh process ----

// In a child process started by a test below: run the case KV_DUSTMODEL_CASE names and end the
// process with 0 when everything held, 1 otherwise.
bool runLoadingCase(const std::string& name) {
  const char* dir = std::getenv("KV_DUSTMODEL_DIR");
  const fs::path folder = dir ? dir : "";
  if (name == "missingNamedFileFallsThrough") {
    const fs::path user = folder / "data" / "Kelvadorium" / "Models" / "DustNet.onnx";
    return DustModel::modelURL() == user && DustModel::loadModel() != nullptr &&
           DustModel::isAvailable();
  }
  if (name == "failedLoadIsNotRepeated") {
    if (DustModel::loadModel() || DustModel::isAvailable()) return false;
    fs::copy_file(fixtureModel, std::getenv("KV_DUSTMODEL"), fs::copy_options::overwrite_existing);
    return DustModel::modelURL() == fs::path(std::getenv("KV_DUSTMODEL")) &&
           !DustModel::loadModel();
  }
  if (name == "loadedOnceAndKept") {
    auto first = DustModel::loadModel();
    fs::remove(std::getenv("KV_DUSTMODEL"));
    auto second = DustModel::loadModel();
    const std::vector<float> plane(70 * 70, 0.25f);
    return first && first == second && DustModel::predict(plane, 70, 70, 1024, 32).has_value();
  }
  if (name == "wrongOutputNameDoesNotLoad") {
    return !DustModel::loadModel() &&
           !DustModel::predict(std::vector<float>(64 * 64), 64, 64, 1024, 32);
  }
  if (name == "bundleModelIsTheLastResort") {
    return DustModel::modelURL() == ResourceBundle::resource("DustNet", "onnx", "Models") &&
           DustModel::modelURL().has_value() && DustModel::isAvailable();
  }
  return false;
}

const bool childCase = [] {
  const char* name = std::getenv("KV_DUSTMODEL_CASE");
  if (!name) return false;
  std::_Exit(runLoadingCase(name) ? 0 : 1);
}();

int runCase(const std::string& name, const TempDir& dir, const std::vector<std::string>& env) {
  std::vector<std::string> all = {"KV_DUSTMODEL_CASE=" + name,
                                  "KV_DUSTMODEL_DIR=" + dir.path().string(),
                                  "XDG_DATA_HOME=" + (dir / "data").string()};
  all.insert(all.end(), env.begin(), env.end());
  return ChildProcess::run(ChildProcess::currentExecutable(), all);
}

TEST(DustModelLoading, NamedFileThatIsMissingFallsThroughToTheUserDataFolder) {
  TempDir dir;
  fs::create_directories(dir / "data" / "Kelvadorium" / "Models");
  fs::copy_file(fixtureModel, dir / "data" / "Kelvadorium" / "Models" / "DustNet.onnx");
  EXPECT_EQ(runCase("missingNamedFileFallsThrough", dir,
                    {"KV_DUSTMODEL=" + (dir / "nothing.onnx").string()}),
            0);
}

TEST(DustModelLoading, AFailedLoadIsTriedOncePerProcess) {
  TempDir dir;
  std::ofstream(dir / "broken.onnx") << "not a model";
  EXPECT_EQ(
      runCase("failedLoadIsNotRepeated", dir, {"KV_DUSTMODEL=" + (dir / "broken.onnx").string()}),
      0);
}

TEST(DustModelLoading, ALoadedModelIsKeptWhenItsFileGoes) {
  TempDir dir;
  fs::copy_file(fixtureModel, dir / "model.onnx");
  EXPECT_EQ(runCase("loadedOnceAndKept", dir, {"KV_DUSTMODEL=" + (dir / "model.onnx").string()}),
            0);
}

TEST(DustModelLoading, AModelWithoutProbDoesNotLoad) {
  TempDir dir;
  EXPECT_EQ(runCase("wrongOutputNameDoesNotLoad", dir,
                    {"KV_DUSTMODEL=" + (fixtures / "DustFixtureWrongOutput.onnx").string()}),
            0);
}

TEST(DustModelLoading, WithoutOtherModelsTheBundledOneLoads) {
  TempDir dir;
  EXPECT_EQ(runCase("bundleModelIsTheLastResort", dir, {"KV_DUSTMODEL="}), 0);
}

}  // namespace
