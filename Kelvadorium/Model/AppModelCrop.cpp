// Crop actions beyond the crop edits themselves: the crop in effect, the status line, auto-crop
// for every scan, and turning a fixed-ratio crop between landscape and portrait.
#include <algorithm>

#include "Model/AppModel.h"
#include "Record/CropAspect.h"

NormRect AppModel::effectiveCrop() const {
  if (const auto index = selectedIndex(); index && items_[*index].settings.crop) {
    return *items_[*index].settings.crop;
  }
  if (analysis_) return analysis_->crop;
  return NormRect::full;
}

QString AppModel::cropStatusText() const {
  const auto index = selectedIndex();
  if (!index) return {};
  const ConversionSettings& settings = items_[*index].settings;
  if (settings.crop) return QStringLiteral("Manual crop");
  if (!settings.autoCrop) return QStringLiteral("Full frame (no crop)");
  if (!analysis_) return {};
  return analysis_->autoCropped ? QStringLiteral("Frame found automatically")
                                : QStringLiteral("No border found, full frame");
}

void AppModel::autoCropAll() {
  int64_t counted = 0;
  std::vector<Uuid> toWrite;
  for (const ImageItem& item : items_) {
    if (item.settings.crop) continue;
    ++counted;
    if (!item.settings.autoCrop) toWrite.push_back(item.id);
  }
  // Without an undo entry, and on both sides of every entry of the scan, so that undoing an
  // earlier edit does not silently switch auto-crop off again.
  for (const Uuid& id : toWrite) {
    if (writeOutsideHistory(id, [](ConversionSettings& settings) { settings.autoCrop = true; })) {
      if (const auto index = indexOf(id)) settingsChanged(*index);
    }
  }
  const int64_t kept = static_cast<int64_t>(items_.size()) - counted;
  QString text = QStringLiteral("Auto-crop on for %1 image%2.")
                     .arg(counted)
                     .arg(counted == 1 ? QString() : QStringLiteral("s"));
  if (kept >= 1) text += QStringLiteral(" %1 with a manual crop kept theirs.").arg(kept);
  setNotice(text);
}

// The pixel proportions crops are fitted against: the uncropped preview in crop mode, else the
// scan's own frame as last rendered. A fixed 3:2 here would fit every other frame shape wrongly.
QSize AppModel::previewAspectSize() const {
  if (preview_ && previewIsUncropped_ && preview_->width() > 0 && preview_->height() > 0) {
    return QSize(static_cast<int>(preview_->width()), static_cast<int>(preview_->height()));
  }
  if (proxySize_.width() > 0 && proxySize_.height() > 0) return proxySize_;
  return QSize(3, 2);
}

void AppModel::swapCropOrientation() {
  const auto index = selectedIndex();
  if (!index) return;
  const CropAspect aspect = items_[*index].settings.cropAspect;
  const std::optional<double> longOverShort = ratio(aspect);
  if (!longOverShort) return;
  const QSize size = previewAspectSize();
  const double width = size.width();
  const double height = size.height();
  const NormRect crop = effectiveCrop();
  const double pixelsWide = crop.w * width;
  const double pixelsTall = crop.h * height;
  const double shortSide = std::min(pixelsWide, pixelsTall);
  const bool landscape = pixelsTall <= pixelsWide;
  const double newWide = landscape ? shortSide : *longOverShort * shortSide;
  const double newTall = landscape ? *longOverShort * shortSide : shortSide;
  NormRect turned;
  turned.w = std::min(newWide / width, 1.0);
  turned.h = std::min(newTall / height, 1.0);
  turned.x = std::max(crop.x + crop.w / 2 - (newWide / width) / 2, 0.0);
  turned.y = std::max(crop.y + crop.h / 2 - (newTall / height) / 2, 0.0);
  const NormRect fitted = turned.fitted(aspect, size.width(), size.height());
  setCropRect(fitted.x, fitted.y, fitted.w, fitted.h);
}
