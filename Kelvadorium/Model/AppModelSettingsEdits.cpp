// Settings edits of scans: one edit routine (the selected scan, or several scans as one undo
// group) and the named edits the inspector, the menus and the tools call.
#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "Model/AppModel.h"
#include "Model/FiniteRecord.h"
#include "Model/SettingsParts.h"
#include "Record/SettingsTurning.h"

namespace {

// Nearest hundredth, halves away from zero.
double hundredths(double value) { return std::round(value * 100) / 100; }

template <class T>
bool validIndex(const std::vector<T>& list, int index) {
  return index >= 0 && static_cast<size_t>(index) < list.size();
}

// The geometry an edit keeps through both resets.
void keepGeometry(const ConversionSettings& from, ConversionSettings& to) {
  to.mode = from.mode;
  to.rotationQuarterTurns = from.rotationQuarterTurns;
  to.mirrored = from.mirrored;
  to.crop = from.crop;
  to.cropAspect = from.cropAspect;
  to.skewDegrees = from.skewDegrees;
  to.autoCrop = from.autoCrop;
  to.autoCropMargin = from.autoCropMargin;
}

}  // namespace

bool AppModel::commitEdit(size_t index, ConversionSettings changed, std::optional<Uuid> group) {
  const ConversionSettings& stored = items_[index].settings;
  if (changed == stored || !FiniteRecord::allFinite(changed)) return false;
  recordEdit(items_[index].id, stored, changed, group);
  storeSettings(index, std::move(changed));
  settingsChanged(index);
  return true;
}

void AppModel::editSelected(const Change& change) {
  const auto index = selectedIndex();
  if (!index) return;
  ConversionSettings copy = items_[*index].settings;
  change(copy);
  commitEdit(*index, std::move(copy), std::nullopt);
}

void AppModel::editScans(const std::vector<Uuid>& ids, const Change& change) {
  const Uuid group = Uuid::random();
  const std::unordered_set<Uuid> wanted(ids.begin(), ids.end());
  for (size_t i = 0; i < items_.size(); ++i) {
    if (!wanted.contains(items_[i].id)) continue;
    ConversionSettings copy = items_[i].settings;
    change(copy);
    commitEdit(i, std::move(copy), group);
  }
}

void AppModel::commitRotation(double delta) {
  editSelected([&](ConversionSettings& s) {
    s.skewDegrees = std::clamp(hundredths(s.skewDegrees + delta), -45.0, 45.0);
  });
}

void AppModel::resetStraighten() {
  editSelected([](ConversionSettings& s) { s.skewDegrees = 0; });
}

void AppModel::rotateLeft() { rotateSelected(-1); }
void AppModel::rotateRight() { rotateSelected(+1); }

void AppModel::rotateSelected(int64_t quarterTurns) {
  editSelected([&](ConversionSettings& s) { SettingsTurning::rotate(s, quarterTurns); });
}

void AppModel::mirrorSelected() {
  editSelected([](ConversionSettings& s) { SettingsTurning::mirror(s); });
}

void AppModel::setCropRect(double x, double y, double w, double h) {
  editSelected([&](ConversionSettings& s) {
    const double cw = std::clamp(w, 0.02, 1.0);
    const double ch = std::clamp(h, 0.02, 1.0);
    s.crop = NormRect{std::clamp(x, 0.0, 1 - cw), std::clamp(y, 0.0, 1 - ch), cw, ch};
  });
}

void AppModel::setCropAspect(CropAspect aspect, double x, double y, double w, double h) {
  editSelected([&](ConversionSettings& s) {
    s.cropAspect = aspect;
    if (aspect != CropAspect::free) s.crop = NormRect{x, y, w, h};
  });
}

void AppModel::autoCropSelected() {
  editSelected([](ConversionSettings& s) {
    s.crop.reset();
    s.autoCrop = true;
  });
}

void AppModel::resetCrop() {
  editSelected([](ConversionSettings& s) {
    s.crop.reset();
    s.cropAspect = CropAspect::free;
    s.autoCrop = false;
    s.skewDegrees = 0;
  });
}

void AppModel::restoreCropSettings(const ConversionSettings& saved) {
  editSelected([&](ConversionSettings& s) {
    s.crop = saved.crop;
    s.cropAspect = saved.cropAspect;
    s.skewDegrees = saved.skewDegrees;
    s.rotationQuarterTurns = saved.rotationQuarterTurns;
    s.mirrored = saved.mirrored;
    s.autoCrop = saved.autoCrop;
    s.autoCropMargin = saved.autoCropMargin;
    s.spots = saved.spots;
    s.layers = saved.layers;
    s.redEyes = saved.redEyes;
  });
}

void AppModel::setCMYValue(int channel, double value) {
  if (channel < 0 || channel > 2) return;
  editSelected([&](ConversionSettings& s) {
    if (validIndex(s.cmy, channel)) s.cmy[static_cast<size_t>(channel)] = hundredths(value);
  });
}

void AppModel::applyPickedWhiteBalance(double temperature, double tint) {
  editSelected([&](ConversionSettings& s) {
    s.temperature = std::round(temperature);
    s.tint = std::round(tint);
  });
}

void AppModel::autoBalance() {
  editSelected([](ConversionSettings& s) {
    s.cmy = {1.0, 1.0, 1.0};
    s.temperature = 0;
    s.tint = 0;
  });
}

void AppModel::setScannerLook(ScannerLook look) {
  editSelected([&](ConversionSettings& s) { s.look = look; });
}

void AppModel::setFilmPreset(std::optional<std::string> id) {
  editSelected([&](ConversionSettings& s) { s.filmPreset = id; });
}

void AppModel::applyBuiltInPreset(BuiltInPreset preset) {
  editSelected([&](ConversionSettings& s) { apply(preset, s); });
}

void AppModel::applyCurvePreset(CurvePreset preset, const CurveEditorState& editor) {
  const ToneCurves c = curves(preset);
  editSelected([&](ConversionSettings& s) {
    s.curves.rgb = c.rgb;
    s.curves.regions = c.regions;
    if (editor.monochrome) return;
    s.curves.red = c.red;
    s.curves.green = c.green;
    s.curves.blue = c.blue;
  });
}

void AppModel::setCurvePoints(const CurveEditorState& editor, const ToneCurve& curve) {
  editSelected([&](ConversionSettings& s) { s.curves.*editor.curve() = curve; });
}

void AppModel::removeCurvePoint(const CurveEditorState& editor,
                                const std::vector<std::vector<double>>& points) {
  editSelected([&](ConversionSettings& s) { s.curves.*editor.curve() = ToneCurve{points}; });
}

void AppModel::resetCurveChannel(const CurveEditorState& editor) {
  editSelected([&](ConversionSettings& s) {
    s.curves.*editor.curve() = ToneCurve{};
    if (editor.channel == 0) s.curves.regions = {0, 0, 0, 0};
  });
}

void AppModel::resetHSL() {
  editSelected([](ConversionSettings& s) { s.hsl = HSLAdjustments{}; });
}

void AppModel::appendSpot(const Spot& spot) {
  editSelected([&](ConversionSettings& s) { s.spots.push_back(spot); });
}

void AppModel::appendSpots(const std::vector<Spot>& spots) {
  editSelected(
      [&](ConversionSettings& s) { s.spots.insert(s.spots.end(), spots.begin(), spots.end()); });
}

void AppModel::restoreSpots(const std::vector<Spot>& spots) {
  editSelected([&](ConversionSettings& s) { s.spots = spots; });
}

void AppModel::removeAllRepairs() {
  editSelected([](ConversionSettings& s) { s.spots.clear(); });
}

void AppModel::addRedEye(double radius, double x, double y) {
  editSelected([&](ConversionSettings& s) { appendRedEye(s, radius, x, y); });
}

void AppModel::removeAllRedEyes() {
  editSelected([](ConversionSettings& s) { s.redEyes.clear(); });
}

void AppModel::removeAllLayers() {
  editSelected([](ConversionSettings& s) {
    s.dodgeBurn.clear();
    s.layers.clear();
  });
}

void AppModel::resetLayerAdjustments(int layer) {
  editSelectedCapturing(layer, [](ConversionSettings& s, int index) { zeroLayerAdjust(s, index); });
}

void AppModel::setLayerAdjustment(int layer, double LocalAdjustment::*field, double value) {
  editSelected([&](ConversionSettings& s) {
    if (validIndex(s.layers, layer)) s.layers[static_cast<size_t>(layer)].adjust.*field = value;
  });
}

void AppModel::setStrokeInvert(int layer, int shape, bool invert) {
  editSelected([&](ConversionSettings& s) { applyStrokeInvert(s, layer, shape, invert); });
}

void AppModel::moveStroke(int layer, int shape, const std::vector<std::vector<double>>& points,
                          double dx, double dy) {
  const bool usable = std::all_of(points.begin(), points.end(),
                                  [](const std::vector<double>& p) { return p.size() >= 2; });
  if (!usable) return;
  editSelected([&](ConversionSettings& s) {
    if (!validIndex(s.layers, layer)) return;
    auto& shapes = s.layers[static_cast<size_t>(layer)].shapes;
    if (!validIndex(shapes, shape)) return;
    std::vector<std::vector<double>> moved;
    moved.reserve(points.size());
    for (const auto& p : points) moved.push_back({p[0] + dx, p[1] + dy});
    shapes[static_cast<size_t>(shape)].points = std::move(moved);
  });
}

void AppModel::setBorderTag(const std::string& tag) {
  editSelected([&](ConversionSettings& s) {
    if (tag.starts_with("film:")) {
      s.border = BorderStyle::film;
      s.borderFrame = tag.substr(5);
    } else {
      s.border = fromString<BorderStyle>(tag).value_or(BorderStyle::none);
    }
  });
}

std::string AppModel::borderTag() const {
  const auto index = selectedIndex();
  if (!index) return "none";
  const ConversionSettings& s = items_[*index].settings;
  if (s.border == BorderStyle::film) return "film:" + s.borderFrame;
  return toString(s.border);
}

void AppModel::resetToDefaults() {
  editSelected([](ConversionSettings& s) {
    ConversionSettings fresh = ConversionSettings::defaults();
    keepGeometry(s, fresh);
    fresh.look = s.look;
    fresh.spots = std::move(s.spots);
    s = std::move(fresh);
  });
}

void AppModel::resetSelectedSettings() {
  editSelected([](ConversionSettings& s) {
    ConversionSettings fresh = ConversionSettings::defaults();
    keepGeometry(s, fresh);
    fresh.flatField = std::move(s.flatField);
    s = std::move(fresh);
  });
}

void AppModel::resetSelectedScan() {
  const bool wasHovering = hoverFilmLook_.has_value();
  setHoverFilmLook(std::nullopt);
  if (wasHovering) requestRender();
  setHoverScanner(std::nullopt);
  resetSelectedSettings();
  setSelectedLayerID(std::nullopt);
}

void AppModel::applyMatchedSettings(const ConversionSettings& settings) {
  editSelected([&](ConversionSettings& s) { s = settings; });
}

void AppModel::pasteParts(const std::vector<Uuid>& ids, const ConversionSettings& source) {
  editScans(ids, [&](ConversionSettings& s) { SettingsParts::copyParts(copiedParts_, source, s); });
}

void AppModel::applyRollBalance(const std::vector<Uuid>& ids, const RollBalance& balance) {
  editScans(ids, [&](ConversionSettings& s) { s.rollBalance = balance; });
}

void AppModel::applyFlatField(const std::vector<Uuid>& ids,
                              const std::optional<std::string>& reference) {
  editScans(ids, [&](ConversionSettings& s) { s.flatField = reference; });
}
