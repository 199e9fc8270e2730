// Healing repairs: the tools' presets, clicks and strokes, and their sources. A new repair is
// built on the GUI thread from the tool settings; its source is searched on the preview renderer,
// and it is appended only if, when the search ends, the same scan in the same orientation is
// still selected and healing was not cancelled meanwhile.
#include <cmath>
#include <unordered_set>
#include <utility>

#include "Dust/Healer.h"
#include "Model/AppModel.h"
#include "Record/SpotPath.h"

namespace {

// A repair is a spot's group when it has one, else the spot alone.
Uuid repairID(const Spot& spot) { return spot.group.value_or(spot.id); }

QString presetKey(const char* name, SpotKind kind) {
  return QString("%1.%2").arg(name, QString::fromStdString(toString(kind)));
}

// A point the mapping gave, when both of its numbers are finite.
std::optional<std::pair<double, double>> usable(const std::optional<QPointF>& point) {
  if (!point || !std::isfinite(point->x()) || !std::isfinite(point->y())) return std::nullopt;
  return std::pair(point->x(), point->y());
}

}  // namespace

void AppModel::chooseHealTool(SpotKind kind) {
  telemetry().record(presetKey("heal", kind));
  if (spotMode_ && !spotSelecting_ && healTool() == kind) {
    setSpotMode(false);
    return;
  }
  // Cancel then backs out of what was done with this tool only.
  if (spotMode_) takeHealEntry();
  setSpotSelecting(false);
  setSelectedRepair(std::nullopt);
  switchHealTool(kind);
  setSpotMode(true);
}

void AppModel::switchHealTool(SpotKind kind) {
  const SpotKind old = healTool();
  if (kind == old) return;
  preferences_.setDouble(presetKey("spotBrush", old), spotBrush());
  preferences_.setDouble(presetKey("spotFeather", old), spotFeather());
  preferences_.setDouble(presetKey("spotOpacity", old), spotOpacity());
  setHealSource(std::nullopt);
  setHealTool(kind);
  setSpotBrush(
      preferences_.doubleValue(presetKey("spotBrush", kind), kind == SpotKind::ai ? 0.015 : 0.008));
  setSpotFeather(preferences_.doubleValue(presetKey("spotFeather", kind), 25));
  setSpotOpacity(preferences_.doubleValue(presetKey("spotOpacity", kind), 100));
}

void AppModel::chooseSelectTool() {
  telemetry().record("heal.select");
  if (spotMode_ && spotSelecting_) {
    setSpotMode(false);
    return;
  }
  if (spotMode_) takeHealEntry();
  setSpotSelecting(true);
  setSelectedRepair(std::nullopt);
  setHealSource(std::nullopt);
  setSpotMode(true);
  const std::optional<size_t> index = selectedIndex();
  if (!index || items_[*index].settings.spots.empty()) {
    setNotice(QStringLiteral("This image has no healing repairs yet."));
  }
}

void AppModel::addRepairSpot(double x, double y) {
  if (healTool() == SpotKind::ai || !selectedIndex()) return;
  const auto point = usable(imagePoint(x, y));
  if (!point) return;
  std::vector<Spot> spots =
      applyHealToolSettings({makeSpot(point->first, point->second, spotBrush())});
  const bool sourced = applyCloneSource(spots);
  startRepair(std::move(spots), sourced);
}

void AppModel::addRepairStroke(const std::vector<QPointF>& points) {
  if (healTool() == SpotKind::ai || !selectedIndex() || points.size() < 2) return;
  std::vector<std::pair<double, double>> path;
  path.reserve(points.size());
  for (const QPointF& point : points) {
    if (const auto mapped = usable(imagePoint(point.x(), point.y()))) path.push_back(*mapped);
  }
  if (path.size() < 2) return;
  std::vector<Spot> spots = applyHealToolSettings(
      alongPath(path, std::max(proxySize_.width(), 1), std::max(proxySize_.height(), 1),
                spotBrush()));
  const bool sourced = applyCloneSource(spots);
  startRepair(std::move(spots), sourced);
}

std::vector<Spot> AppModel::applyHealToolSettings(std::vector<Spot> spots) const {
  const SpotKind kind = healTool();
  const double softness = spotFeather();
  const double feather = softness <= 0 ? 1.0 : 1 + 1.6 * std::min(softness, 100.0) / 100;
  const double opacity = spotOpacity() / 100;
  for (Spot& spot : spots) {
    spot.kind = kind;
    spot.feather = feather;
    spot.opacity = opacity;
  }
  return spots;
}

bool AppModel::applyCloneSource(std::vector<Spot>& spots) {
  const SpotKind kind = healTool();
  if (!healSource_ || (kind != SpotKind::heal && kind != SpotKind::clone) || spots.empty()) {
    return false;
  }
  const QPointF source = *healSource_;
  const double fx = spots.front().x;
  const double fy = spots.front().y;
  // A source point serves one click or one stroke.
  setHealSource(std::nullopt);
  for (Spot& spot : spots) {
    spot.sx = source.x() - fx + spot.x;
    spot.sy = source.y() - fy + spot.y;
  }
  return true;
}

int AppModel::repairCount() const {
  const std::optional<size_t> index = selectedIndex();
  if (!index) return 0;
  std::unordered_set<Uuid> repairs;
  for (const Spot& spot : items_[*index].settings.spots) repairs.insert(repairID(spot));
  return static_cast<int>(repairs.size());
}

void AppModel::removeLastRepair() {
  const std::optional<size_t> index = selectedIndex();
  if (!index || items_[*index].settings.spots.empty()) return;
  removeRepair(items_[*index].settings.spots.back().id);
}

void AppModel::startRepair(std::vector<Spot> spots, bool sourced) {
  const std::optional<size_t> index = selectedIndex();
  if (!index || spots.empty()) return;
  const ImageItem& item = items_[*index];
  // The model keeps no handle: a request is never cancelled, only dropped when it arrives late.
  TaskHandle::start([this, id = item.id, url = item.url, settings = item.settings,
                     session = plain_.healSession, spots = std::move(spots),
                     sourced](std::stop_token) mutable {
    return repairJob(id, std::move(url), std::move(settings), session, std::move(spots), sourced);
  });
}

QCoro::Task<> AppModel::repairJob(Uuid id, std::filesystem::path url, ConversionSettings settings,
                                  int session, std::vector<Spot> spots, bool sourced) {
  if (!sourced) {
    auto search = [url, settings, spots](RenderCache& cache) mutable {
      const LinearImage scan = cache.proxy(url, settings);
      Healer::findGroupSource(scan.width(), scan.height(), scan.pixels(), spots, settings.spots);
      return spots;
    };
    auto found = co_await previewRenderer().perform(std::move(search));
    // Stopped: the model is going away and must not be touched.
    if (found.stopped()) co_return;
    // A scan that cannot be decoded still gets its repair; the render searches a source later.
    if (found.ok()) spots = std::move(found.value());
  }
  if (selection_ != id || plain_.healSession != session) co_return;
  const std::optional<size_t> index = selectedIndex();
  if (!index) co_return;
  // Positions belong to the orientation they were mapped in; a turn or mirror since moves them.
  const ConversionSettings& now = items_[*index].settings;
  if (now.rotationQuarterTurns != settings.rotationQuarterTurns ||
      now.mirrored != settings.mirrored) {
    co_return;
  }
  appendSpots(spots);
}
