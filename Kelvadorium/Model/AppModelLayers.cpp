// Dodge & burn layers with their shapes, and red-eye marks. New shapes go into the selected
// layer, or into a new layer that becomes the selected one; a layer holds at most one gradient.
#include <algorithm>

#include "Model/AppModel.h"
#include "Model/LayerNames.h"

namespace {

bool isBrush(const DodgeBurnStroke& stroke) {
  return !stroke.shape || *stroke.shape == DodgeShape::brush;
}

bool isRadial(const DodgeBurnStroke& stroke) { return stroke.shape == DodgeShape::radial; }

// The index of the first radial shape of the layer.
std::optional<int> firstRadial(const LocalLayer& layer) {
  const auto found = std::find_if(layer.shapes.begin(), layer.shapes.end(), isRadial);
  if (found == layer.shapes.end()) return std::nullopt;
  return static_cast<int>(found - layer.shapes.begin());
}

std::vector<double> pointOf(QPointF point) { return {point.x(), point.y()}; }

}  // namespace

std::vector<LocalLayer> AppModel::selectedLayers() const {
  const std::optional<size_t> index = selectedIndex();
  return index ? items_[*index].settings.layers : std::vector<LocalLayer>{};
}

std::optional<int> AppModel::selectedLayerIndex() const {
  const std::optional<size_t> scan = selectedIndex();
  if (!selectedLayerID_ || !scan) return std::nullopt;
  const std::vector<LocalLayer>& layers = items_[*scan].settings.layers;
  const auto found = std::find_if(layers.begin(), layers.end(), [&](const LocalLayer& layer) {
    return layer.id == *selectedLayerID_;
  });
  if (found == layers.end()) return std::nullopt;
  return static_cast<int>(found - layers.begin());
}

const LocalLayer* AppModel::selectedLayer() const {
  const std::optional<int> index = selectedLayerIndex();
  if (!index) return nullptr;
  return &items_[*selectedIndex()].settings.layers[static_cast<size_t>(*index)];
}

bool AppModel::selectedLayerIsBrushOnly() const {
  const LocalLayer* layer = selectedLayer();
  return !layer || std::all_of(layer->shapes.begin(), layer->shapes.end(), isBrush);
}

QString AppModel::nextLayerName() const {
  std::vector<std::string> names;
  for (const LocalLayer& layer : selectedLayers()) names.push_back(layer.name);
  return QString::fromStdString(LayerNames::next(names));
}

bool AppModel::radialOutside() const {
  if (const LocalLayer* layer = selectedLayer()) {
    if (const std::optional<int> radial = firstRadial(*layer)) {
      return layer->shapes[static_cast<size_t>(*radial)].invert.value_or(false);
    }
  }
  return dodgeOutside();
}

void AppModel::setRadialOutside(bool value) {
  setDodgeOutside(value);
  const LocalLayer* layer = selectedLayer();
  if (!layer) return;
  if (const std::optional<int> radial = firstRadial(*layer)) {
    setStrokeInvert(*selectedLayerIndex(), *radial, value);
  }
}

double AppModel::selectedLayerValue(double LocalAdjustment::*field) const {
  const LocalLayer* layer = selectedLayer();
  return layer ? layer->adjust.*field : 0;
}

void AppModel::setSelectedLayerValue(double LocalAdjustment::*field, double value) {
  if (const std::optional<int> index = selectedLayerIndex()) {
    setLayerAdjustment(*index, field, value);
  }
}

void AppModel::addBrushStroke(const std::vector<QPointF>& points) {
  DodgeBurnStroke stroke;
  stroke.id = Uuid::random();
  for (const QPointF& point : points) {
    if (const std::optional<QPointF> mapped = imagePoint(point.x(), point.y())) {
      stroke.points.push_back(pointOf(*mapped));
    }
  }
  // One point on the picture is a dab.
  if (stroke.points.empty()) return;
  stroke.radius = dodgeSize();
  stroke.stops = 0;
  stroke.feather = dodgeFeather() / 100 * 1.8 + 1.2;
  addStroke(stroke);
}

void AppModel::addLinearGradient(QPointF start, QPointF end) {
  const std::optional<QPointF> from = imagePoint(start.x(), start.y());
  const std::optional<QPointF> to = imagePoint(end.x(), end.y());
  if (!from || !to) return;
  addStroke(DodgeBurnStroke::linear(pointOf(*from), pointOf(*to), 0));
}

void AppModel::addRadialGradient(QPointF centre, double rx, double ry) {
  const std::optional<QPointF> mapped = imagePoint(centre.x(), centre.y());
  if (!mapped) return;
  const double perLongEdge = previewLength(1);
  if (!(perLongEdge > 0)) return;
  const double imageRx = std::max(rx / perLongEdge, 0.005);
  const double imageRy = std::max(ry / perLongEdge, 0.005);
  const double feather = dodgeFeather() / 100 * 0.98 + 0.02;
  addStroke(
      DodgeBurnStroke::radial(pointOf(*mapped), imageRx, imageRy, 0, feather, dodgeOutside()));
}

void AppModel::addStroke(const DodgeBurnStroke& stroke) {
  if (!isBrush(stroke) && !selectedLayerIsBrushOnly()) return;
  if (const std::optional<int> index = selectedLayerIndex()) {
    editSelected([&](ConversionSettings& s) {
      s.layers[static_cast<size_t>(*index)].shapes.push_back(stroke);
    });
    return;
  }
  LocalLayer layer;
  layer.name = nextLayerName().toStdString();
  layer.shapes = {stroke};
  appendLayer(layer);
}

void AppModel::appendLayer(const LocalLayer& layer) {
  const std::optional<size_t> scan = selectedIndex();
  if (!scan) return;
  editSelected([&](ConversionSettings& s) { s.layers.push_back(layer); });
  // Selected only when the edit took: a shape with a number that is not finite turns it away.
  const std::vector<LocalLayer>& layers = items_[*scan].settings.layers;
  if (!layers.empty() && layers.back().id == layer.id) setSelectedLayerID(layer.id);
}

void AppModel::addLayer() {
  if (!selectedIndex()) return;
  LocalLayer layer;
  layer.name = nextLayerName().toStdString();
  appendLayer(layer);
  setDodgeMode(true);
}

void AppModel::toggleLayerSelection(const Uuid& id) {
  setSelectedLayerID(selectedLayerID_ == id ? std::nullopt : std::optional(id));
}

void AppModel::deleteLayer(const Uuid& id) {
  editSelected([&](ConversionSettings& s) {
    std::erase_if(s.layers, [&](const LocalLayer& l) { return l.id == id; });
  });
  if (selectedLayerID_ == id) setSelectedLayerID(std::nullopt);
}

void AppModel::dragStroke(const Uuid& strokeID, const std::vector<std::vector<double>>& points,
                          double dx, double dy) {
  const std::vector<LocalLayer> layers = selectedLayers();
  for (size_t i = 0; i < layers.size(); ++i) {
    const auto& shapes = layers[i].shapes;
    const auto found = std::find_if(shapes.begin(), shapes.end(),
                                    [&](const DodgeBurnStroke& s) { return s.id == strokeID; });
    if (found == shapes.end()) continue;
    setSelectedLayerID(layers[i].id);
    // The points as the drag began and the whole offset so far: calls during one drag replace
    // each other instead of adding up.
    moveStroke(static_cast<int>(i), static_cast<int>(found - shapes.begin()), points, dx, dy);
    return;
  }
}

void AppModel::removeStroke(ConversionSettings& settings, const Uuid& strokeID) {
  for (LocalLayer& layer : settings.layers) {
    std::erase_if(layer.shapes, [&](const DodgeBurnStroke& s) { return s.id == strokeID; });
  }
}

void AppModel::toggleStrokeInvert(ConversionSettings& settings, const Uuid& strokeID) {
  for (LocalLayer& layer : settings.layers) {
    const auto found = std::find_if(layer.shapes.begin(), layer.shapes.end(),
                                    [&](const DodgeBurnStroke& s) { return s.id == strokeID; });
    if (found != layer.shapes.end()) found->invert = !found->invert.value_or(false);
  }
}

void AppModel::toggleLayerVisible(ConversionSettings& settings, const Uuid& layerID) {
  const auto found = std::find_if(settings.layers.begin(), settings.layers.end(),
                                  [&](const LocalLayer& l) { return l.id == layerID; });
  if (found != settings.layers.end()) found->visible = !found->visible;
}

void AppModel::removeRedEye(ConversionSettings& settings, const Uuid& markID) {
  std::erase_if(settings.redEyes, [&](const RedEye& mark) { return mark.id == markID; });
}
