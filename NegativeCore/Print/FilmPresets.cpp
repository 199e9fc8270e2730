#include "Print/FilmPresets.h"

#include <algorithm>
#include <array>
#include <map>

#include "Print/Looks.h"

namespace {

using Tint = std::array<float, 3>;

// One row of the preset table: every preset has the knee 0.72, no skin-hue shift and the three
// bands centred at 28°, 112° and 222° with widths 24, 34 and 30.
struct Row {
  const char* id;
  const char* stock;
  const char* style;
  int64_t photos;
  float contrast, saturation, highlightRolloff, blackLift, whiteLevel;
  std::pair<float, float> balance;
  Tint shadowTint, midTint, highlightTint;
  std::array<std::pair<float, float>, 3> bands;  // shift, chroma factor
};

// clang-format off
constexpr std::array<Row, 22> rows{{
    {"gold200-moody", "Gold 200", "Moody", 20,
     0.9925f, 0.9129f, 0, 0.0177f, 0.9831f, {0, 0},
     {-0.0042f, 0.0014f, 0.0028f}, {-0.004f, -0.0002f, 0.0042f}, {0.0005f, -0.0033f, 0.0028f},
     {{{-0.86f, 0.9056f}, {-3.88f, 1.1231f}, {-0.73f, 0.8874f}}}},
    {"gold200-natural", "Gold 200", "Natural", 20,
     1.0257f, 0.9f, 0, 0.0087f, 1.02f, {0, 0},
     {-0.0034f, 0.0012f, 0.0022f}, {-0.007f, 0.0001f, 0.0069f}, {-0.0026f, -0.0031f, 0.0057f},
     {{{2.14f, 0.8427f}, {-2.27f, 0.9657f}, {2.77f, 0.8358f}}}},
    {"gold200-rich", "Gold 200", "Rich", 20,
     1.0115f, 1.1988f, 0, -0.0085f, 0.9831f, {0, 0},
     {0.0017f, -0.0017f, 0}, {0.0001f, -0.0076f, 0.0075f}, {-0.0053f, -0.0015f, 0.0068f},
     {{{-0.06f, 0.9923f}, {1.02f, 0.9551f}, {-1.02f, 1.1632f}}}},
    {"portra400-moody", "Portra 400", "Moody", 20,
     0.7453f, 0.8604f, 0.05f, 0.011f, 0.9739f, {0, 0},
     {-0.0052f, -0.0065f, -0.0083f}, {0.013f, 0.0149f, 0.0286f}, {0.0272f, 0.0065f, 0.0013f},
     {{{-2.31f, 1.3731f}, {15.21f, 0.9507f}, {2.2f, 0.91f}}}},
    {"portra400-natural", "Portra 400", "Natural", 8,
     0.9409f, 1.075f, 0.05f, 0.027f, 1, {0, 0},
     {-0.003f, -0.005f, -0.012f}, {0.011f, 0.0155f, 0.03f}, {0.017f, 0.0085f, 0.0095f},
     {{{-1.4062f, 1.0813f}, {0, 0.975f}, {0, 1}}}},
    {"portra400-rich", "Portra 400", "Rich", 20,
     0.9391f, 1.2798f, 0.05f, 0.0237f, 1.0008f, {0, 0},
     {0.0001f, -0.0054f, -0.0147f}, {0.0104f, 0.0178f, 0.0283f}, {0.0172f, 0.0116f, 0.0062f},
     {{{-1.11f, 1.183f}, {-0.6f, 1.0456f}, {0.79f, 1.0421f}}}},
    {"portra160-moody", "Portra 160", "Moody", 16,
     1.2523f, 0.9648f, 0.7f, 0.0207f, 0.9652f, {0, 20},
     {-0.0063f, -0.0057f, -0.0164f}, {0.0335f, 0.0128f, -0.006f}, {0.014f, -0.0018f, -0.0104f},
     {{{2.36f, 0.844f}, {7.66f, 0.8547f}, {2.01f, 0.7876f}}}},
    {"portra160-natural", "Portra 160", "Natural", 6,
     1.28f, 0.9639f, 0.7f, 0, 0.9672f, {0, 20},
     {-0.0057f, -0.0004f, -0.0223f}, {0.0324f, 0.0162f, -0.0083f}, {0.0105f, -0.0061f, -0.0026f},
     {{{5.0586f, 0.7785f}, {0.6562f, 0.866f}, {0, 1.0082f}}}},
    {"portra160-rich", "Portra 160", "Rich", 16,
     1.2908f, 1.1934f, 0.7f, -0.011f, 0.9923f, {0, 20},
     {-0.0063f, -0.0091f, -0.013f}, {0.0357f, 0.0112f, -0.0066f}, {0.006f, -0.0019f, -0.0024f},
     {{{4.96f, 0.7668f}, {5.36f, 0.8513f}, {2.81f, 1.0752f}}}},
    {"portra800-moody", "Portra 800", "Moody", 13,
     0.9479f, 0.7608f, 0, -0.0058f, 0.9831f, {0, 0},
     {0.0007f, -0.0029f, 0.0022f}, {0.0021f, 0.0018f, -0.0039f}, {0.0002f, 0.0012f, -0.0014f},
     {{{0.74f, 1.2483f}, {2.42f, 1.5134f}, {-1.32f, 1.3934f}}}},
    {"portra800-natural", "Portra 800", "Natural", 13,
     0.9934f, 0.9637f, 0, -0.0039f, 0.9831f, {0, 0},
     {-0.0005f, -0.0032f, 0.0037f}, {0.005f, -0.0032f, -0.0018f}, {0.0091f, -0.005f, -0.004f},
     {{{-0.86f, 0.9218f}, {-2.68f, 0.9525f}, {-0.23f, 0.9749f}}}},
    {"portra800-rich", "Portra 800", "Rich", 13,
     1.0124f, 1.1988f, 0, -0.0157f, 0.9956f, {0, 0},
     {0.0042f, -0.0061f, 0.0019f}, {0.0001f, -0.0041f, 0.004f}, {-0.0085f, -0.001f, 0.0095f},
     {{{-1.96f, 1.0303f}, {-0.78f, 1.2409f}, {-1.93f, 0.8334f}}}},
    {"ultramax400-moody", "Ultramax 400", "Moody", 12,
     0.9688f, 0.853f, 0, -0.01f, 0.9831f, {0, 0},
     {0.0069f, -0.0046f, -0.0022f}, {0.0012f, -0.0034f, 0.0022f}, {-0.0001f, -0.0032f, 0.0033f},
     {{{-1.56f, 1.0324f}, {-5.28f, 0.9657f}, {2.17f, 0.8562f}}}},
    {"ultramax400-natural", "Ultramax 400", "Natural", 13,
     1.0637f, 0.9461f, 0, -0.0151f, 0.9848f, {0, 0},
     {0.0015f, 0.0006f, -0.0021f}, {-0.0071f, 0.0006f, 0.0065f}, {-0.0072f, 0.0019f, 0.0053f},
     {{{-0.86f, 1.0747f}, {4.02f, 1.0054f}, {-0.82f, 1.0265f}}}},
    {"ultramax400-rich", "Ultramax 400", "Rich", 12,
     1.0077f, 1.1988f, 0, -0.0109f, 0.9831f, {0, 0},
     {-0.0013f, 0.0026f, -0.0013f}, {-0.0006f, -0.0027f, 0.0033f}, {-0.0154f, 0.0031f, 0.0123f},
     {{{-2.66f, 1.1474f}, {11.43f, 0.9816f}, {0.17f, 0.8502f}}}},
    {"ektar100-natural", "Ektar 100", "Natural", 15,
     1.0039f, 0.9452f, 0, -0.0082f, 1.02f, {0, 0},
     {-0.0013f, 0.0012f, 0.0001f}, {-0.0034f, 0.0005f, 0.0029f}, {-0.016f, 0.0084f, 0.0076f},
     {{{-2.56f, 1.2136f}, {11.43f, 1.2488f}, {-1.62f, 0.8394f}}}},
    {"cinestill800t-natural", "CineStill 800T", "Natural", 13,
     0.9972f, 0.9175f, 0, -0.0325f, 0.9938f, {0, 0},
     {-0.0058f, -0.005f, 0.0107f}, {-0.001f, -0.0003f, 0.0013f}, {0.0018f, 0.0023f, -0.0041f},
     {{{0.64f, 1.0455f}, {11.43f, 1.1178f}, {3.57f, 0.9425f}}}},
    {"colorplus200-natural", "ColorPlus 200", "Natural", 12,
     0.9802f, 1.0042f, 0, -0.0088f, 0.9831f, {0, 0},
     {-0.0015f, 0.0018f, -0.0003f}, {0.006f, -0.0016f, -0.0044f}, {0.0007f, 0.0027f, -0.0034f},
     {{{0.94f, 1.0129f}, {-7.38f, 1.0107f}, {-0.33f, 1.5109f}}}},
    {"fujicolor200-natural", "Fujicolor 200", "Natural", 9,
     1.0418f, 0.9351f, 0, 0.0057f, 1.0067f, {0, 0},
     {-0.0004f, 0.0007f, -0.0004f}, {0.0052f, 0, -0.0052f}, {0.0118f, -0.0043f, -0.0076f},
     {{{0.64f, 1.1799f}, {-4.98f, 0.885f}, {-0.23f, 1.2423f}}}},
    {"fuji400-natural", "Fuji 400", "Natural", 7,
     0.8976f, 1.1877f, 0, 0.0292f, 0.9831f, {0, 0},
     {0.0005f, 0.0038f, -0.0043f}, {-0.0032f, 0.001f, 0.0022f}, {0.0118f, -0.0011f, -0.0106f},
     {{{-1.56f, 0.898f}, {6.33f, 0.7937f}, {-0.23f, 0.7195f}}}},
    {"cinestill400d-natural", "CineStill 400D", "Natural", 7,
     0.9991f, 1.1186f, 0, 0.0185f, 0.9831f, {0, 0},
     {-0.0017f, -0.0094f, 0.0111f}, {0.0001f, 0.006f, -0.0061f}, {-0.0004f, 0.0049f, -0.0045f},
     {{{0.04f, 1.0444f}, {-5.67f, 0.7937f}, {-0.33f, 0.7195f}}}},
    {"proimage100-natural", "Pro Image 100", "Natural", 6,
     0.9678f, 1.1988f, 0, 0.01f, 1.0112f, {0, 0},
     {0.0068f, 0.0035f, -0.0103f}, {0.0073f, -0.0024f, -0.0049f}, {-0.0001f, 0.0007f, -0.0006f},
     {{{0.34f, 0.937f}, {-2.48f, 1.0438f}, {0.37f, 1.072f}}}},
}};
// clang-format on

constexpr std::array<std::pair<float, float>, 3> bandCentresAndWidths{
    {{28, 24}, {112, 34}, {222, 30}}};

FilmPreset presetOf(const Row& row) {
  std::vector<HueBand> bands;
  for (size_t i = 0; i < row.bands.size(); ++i)
    bands.push_back({bandCentresAndWidths[i].first, bandCentresAndWidths[i].second,
                     row.bands[i].first, row.bands[i].second});
  return {row.id,
          row.stock,
          row.style,
          row.photos,
          {.contrast = row.contrast,
           .saturation = row.saturation,
           .highlightRolloff = row.highlightRolloff,
           .highlightKnee = 0.72f,
           .blackLift = row.blackLift,
           .shadowTint = row.shadowTint,
           .midTint = row.midTint,
           .skinHueShift = 0,
           .highlightTint = row.highlightTint,
           .whiteLevel = row.whiteLevel,
           .hueBands = std::move(bands),
           .balance = row.balance}};
}

const std::map<std::string, std::string, std::less<>>& stockDisplayNames() {
  static const std::map<std::string, std::string, std::less<>> names{
      {"Portra 160", "P160"},     {"Portra 400", "P400"},     {"Portra 800", "P800"},
      {"Ektar 100", "EK100"},     {"Gold 200", "G200"},       {"Ultramax 400", "UM400"},
      {"ColorPlus 200", "CP200"}, {"Pro Image 100", "PI100"}, {"Fuji 400", "F400"},
      {"Fujicolor 200", "F200"},  {"CineStill 400D", "D400"}, {"CineStill 800T", "T800"},
  };
  return names;
}

const FilmPreset* find(const std::optional<std::string>& id) {
  if (!id) return nullptr;
  for (const FilmPreset& preset : FilmPresets::all())
    if (preset.id == *id) return &preset;
  return nullptr;
}

}  // namespace

std::string FilmPreset::stockDisplayName() const { return FilmPresets::stockDisplayName(stock); }

std::string FilmPreset::title() const { return stockDisplayName() + " " + style; }

std::string FilmPreset::brandedTitle() const { return "Kelvadorium " + title(); }

namespace FilmPresets {

const std::vector<FilmPreset>& all() {
  static const std::vector<FilmPreset> presets = [] {
    std::vector<FilmPreset> list;
    for (const Row& row : rows) list.push_back(presetOf(row));
    return list;
  }();
  return presets;
}

std::optional<FilmPreset> preset(const std::optional<std::string>& id) {
  if (const FilmPreset* found = find(id)) return *found;
  return std::nullopt;
}

std::string stockDisplayName(const std::string& stock) {
  const auto& names = stockDisplayNames();
  const auto it = names.find(stock);
  return it == names.end() ? stock : it->second;
}

int styleRank(const std::string& style) {
  if (style == "Natural") return 0;
  if (style == "Rich") return 1;
  if (style == "Moody") return 2;
  return 9;
}

std::vector<std::pair<std::string, std::vector<FilmPreset>>> groupedByStock() {
  std::vector<std::pair<std::string, std::vector<FilmPreset>>> groups;
  for (const FilmPreset& preset : all()) {
    auto group = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& g) { return g.first == preset.stock; });
    if (group == groups.end()) group = groups.insert(groups.end(), {preset.stock, {}});
    group->second.push_back(preset);
  }
  for (auto& [stock, presets] : groups)
    std::stable_sort(presets.begin(), presets.end(), [](const FilmPreset& a, const FilmPreset& b) {
      return styleRank(a.style) < styleRank(b.style);
    });
  return groups;
}

}  // namespace FilmPresets

LookParameters scannerLookParameters(const ConversionSettings& settings) {
  return parameters(settings.look);
}

std::optional<LookParameters> presetLookParameters(const ConversionSettings& settings) {
  const FilmPreset* preset = find(settings.filmPreset);
  if (!preset) return std::nullopt;
  return preset->parameters.scaled(settings.lookAmount / 100);
}

bool hasKnownFilmPreset(const ConversionSettings& settings) {
  return find(settings.filmPreset) != nullptr;
}
