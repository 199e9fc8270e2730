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
  startRepair(std::move(spots), {}, sourced);
}

void AppModel::addRepairStroke(const std::vector<QPointF>& points) {
  if (healTool() == SpotKind::ai || !selectedIndex() || points.size() < 2) return;
  // One snapshot of the mapping for every point of the drag.
  const std::optional<PreviewMapping::Frame> frame = mappingFrame();
  if (!frame) return;
  std::vector<std::pair<double, double>> path;
  path.reserve(points.size());
  for (const QPointF& point : points) {
    if (const auto mapped = usable(PreviewMapping::imagePoint(*frame, point))) {
      path.push_back(*mapped);
    }
  }
  if (path.size() < 2) return;
  // The chain begins with the path's first point: that spot takes the tool settings and the
  // source point now, and the rest of the chain copies them when it is resampled.
  std::vector<Spot> head =
      applyHealToolSettings({makeSpot(path.front().first, path.front().second, spotBrush())});
  const bool sourced = applyCloneSource(head);
  startRepair(std::move(head), std::move(path), sourced);
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

void AppModel::startRepair(std::vector<Spot> spots, std::vector<std::pair<double, double>> path,
                           bool sourced) {
  const std::optional<size_t> index = selectedIndex();
  if (!index || spots.empty()) return;
  const ImageItem& item = items_[*index];
  RepairRequest request{item.id,          item.url,        item.settings, plain_.healSession,
                        std::move(spots), std::move(path), proxySize_,    sourced};
  // The model keeps no handle: a request is never cancelled, only dropped when it arrives late.
  TaskHandle::start([this, request = std::move(request)](std::stop_token) mutable {
    return repairJob(std::move(request));
  });
}

namespace {

// The chain along a stroke's path, each spot with the settings and source offset of the head
// spot made for its first point.
std::vector<Spot> chainAlong(const std::vector<std::pair<double, double>>& path, QSize size,
                             const Spot& head, bool sourced) {
  std::vector<Spot> chain =
      alongPath(path, std::max(size.width(), 1), std::max(size.height(), 1), head.r);
  const double dx = sourced ? *head.sx - head.x : 0;
  const double dy = sourced ? *head.sy - head.y : 0;
  for (Spot& spot : chain) {
    spot.kind = head.kind;
    spot.feather = head.feather;
    spot.opacity = head.opacity;
    if (sourced) {
      spot.sx = spot.x + dx;
      spot.sy = spot.y + dy;
    }
  }
  return chain;
}

}  // namespace

QCoro::Task<> AppModel::repairJob(RepairRequest request) {
  if (!request.sourced || !request.path.empty()) {
    auto prepare = [request](RenderCache& cache) mutable {
      std::vector<Spot> spots =
          request.path.empty()
              ? std::move(request.spots)
              : chainAlong(request.path, request.size, request.spots.front(), request.sourced);
      if (request.sourced || spots.empty()) return spots;
      try {
        const LinearImage scan = cache.proxy(request.url, request.settings);
        Healer::findGroupSource(scan.width(), scan.height(), scan.pixels(), spots,
                                request.settings.spots);
      } catch (...) {
        // A scan that cannot be decoded still gets its repairs; the render finds a source later.
      }
      return spots;
    };
    auto prepared = co_await previewRenderer().perform(std::move(prepare));
    // Stopped, the model going away and not to be touched; or out of memory: nothing to add.
    if (!prepared.ok()) co_return;
    request.spots = std::move(prepared.value());
  }
  if (selection_ != request.id || plain_.healSession != request.session) co_return;
  const std::optional<size_t> index = selectedIndex();
  if (!index || request.spots.empty()) co_return;
  // Positions belong to the orientation they were mapped in; a turn or mirror since moves them.
  const ConversionSettings& now = items_[*index].settings;
  if (now.rotationQuarterTurns != request.settings.rotationQuarterTurns ||
      now.mirrored != request.settings.mirrored) {
    co_return;
  }
  appendSpots(request.spots);
}
