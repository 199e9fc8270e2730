// Between the shown preview and the scan's own frame. The preview, its analysis and the proxy
// size are published together by the render loop; the straighten angle is the record's as it is
// now, so after an edit of the angle the mapping runs ahead of the preview until it catches up.
#include "Model/AppModel.h"

std::optional<PreviewMapping::Frame> AppModel::mappingFrame() const {
  const std::optional<size_t> index = selectedIndex();
  if (!index || !analysis_) return std::nullopt;
  // After a selection change the new scan's thumbnail stands in while the analysis of the scan
  // left behind is still published: mapping through it would place marks on the wrong crop.
  if (plain_.previewImageID != selection_) return std::nullopt;
  PreviewMapping::Frame frame;
  frame.width = proxySize_.width();
  frame.height = proxySize_.height();
  frame.angle = items_[*index].settings.skewDegrees;
  frame.crop = previewIsUncropped_ ? NormRect::full : analysis_->crop;
  frame.photo = photoRect();
  if (!PreviewMapping::isUsable(frame)) return std::nullopt;
  return frame;
}

std::optional<QPointF> AppModel::imagePoint(double x, double y) const {
  const auto frame = mappingFrame();
  if (!frame) return std::nullopt;
  return PreviewMapping::imagePoint(*frame, QPointF(x, y));
}

std::optional<QPointF> AppModel::previewPoint(double x, double y) const {
  const auto frame = mappingFrame();
  if (!frame) return std::nullopt;
  return PreviewMapping::previewPoint(*frame, QPointF(x, y));
}

double AppModel::previewLength(double length) const {
  const auto frame = mappingFrame();
  if (!frame) return PreviewMapping::unmappedLength;
  return PreviewMapping::previewLength(*frame, length);
}

std::optional<AppModel::PreviewCircle> AppModel::previewCircle(const Spot& spot) const {
  const auto frame = mappingFrame();
  if (!frame) return std::nullopt;
  const auto centre = PreviewMapping::previewPoint(*frame, QPointF(spot.x, spot.y));
  if (!centre) return std::nullopt;
  return PreviewCircle{centre->x(), centre->y(), PreviewMapping::previewLength(*frame, spot.r)};
}

QRectF AppModel::photoRect() const {
  const std::optional<size_t> index = selectedIndex();
  if (!preview_ || previewIsUncropped_ || !index) return QRectF(0, 0, 1, 1);
  const ConversionSettings& settings = items_[*index].settings;
  PreviewMapping::Picture picture;
  picture.width = preview_->width();
  picture.height = preview_->height();
  picture.border = settings.border;
  picture.borderSize = settings.borderSize;
  picture.borderFrame = settings.borderFrame;
  picture.mode = settings.mode;
  return PreviewMapping::photoRect(picture);
}
