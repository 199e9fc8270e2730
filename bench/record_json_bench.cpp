// The edit record's JSON with 10,000 repairs, as a dust pass leaves it: reading the text into a
// record, and writing the record back to indented text as the sidecar does.
#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include "Record/ConversionSettings.h"

namespace {

ConversionSettings recordWithSpots(int count) {
  ConversionSettings settings;
  settings.crop = NormRect{0.02, 0.03, 0.95, 0.94};
  settings.spots.reserve(count);
  for (int i = 0; i < count; ++i) {
    Spot spot;
    spot.id = Uuid::random();
    spot.x = (i % 100 + 0.5) / 100.0;
    spot.y = (i / 100 + 0.5) / 100.0;
    spot.r = 0.0015 + (i % 7) * 0.0001;
    if (i % 2 == 0) {  // half of them are detector finds with a clone source
      spot.sx = spot.x + 0.004;
      spot.sy = spot.y - 0.003;
      spot.kind = SpotKind::ai;
      spot.score = 0.5 + (i % 50) / 100.0;
    }
    settings.spots.push_back(spot);
  }
  return settings;
}

const ConversionSettings& tenThousandSpots() {
  static const ConversionSettings settings = recordWithSpots(10000);
  return settings;
}

void readRecord(benchmark::State& state) {
  const std::string text = toJson(tenThousandSpots()).dump(2);
  for (auto _ : state) {
    ConversionSettings settings = settingsFromJson(nlohmann::json::parse(text));
    benchmark::DoNotOptimize(settings);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(readRecord)->Unit(benchmark::kMillisecond);

void writeRecord(benchmark::State& state) {
  const ConversionSettings& settings = tenThousandSpots();
  size_t size = 0;
  for (auto _ : state) {
    std::string text = toJson(settings).dump(2);
    size = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(writeRecord)->Unit(benchmark::kMillisecond);

}  // namespace
