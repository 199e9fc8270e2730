#include "Preview/PreviewLayers.h"

#include "Model/AppModel.h"

namespace PreviewLayers {

PreviewFlags flagsOf(const AppModel& model) {
  PreviewFlags f;
  f.hasScans = !model.items().empty();
  f.cropMode = model.cropMode();
  f.wbPickMode = model.wbPickMode();
  f.dodgeMode = model.dodgeMode();
  f.redEyeMode = model.redEyeMode();
  f.spotMode = model.spotMode();
  f.showNegative = model.showNegative();
  f.previewIsUncropped = model.previewIsUncropped();
  f.dustWaiting = !model.dustCandidates().empty();
  f.compareMode = model.compareMode();
  f.hasBefore = model.currentBeforePreview() != nullptr;
  f.showClipping = model.showClipping();
  f.hasClipMask = model.histogram() && !model.histogram()->clipMask.isNull();
  return f;
}

OverlayKind toolOverlay(const PreviewFlags& f) {
  if (f.wbPickMode && !f.cropMode) return OverlayKind::wbPick;
  if (f.cropMode) return f.previewIsUncropped ? OverlayKind::crop : OverlayKind::none;
  if (f.dustWaiting) return OverlayKind::dust;
  if (f.dodgeMode) return OverlayKind::dodgeBurn;
  if (f.redEyeMode) return OverlayKind::redEye;
  if (f.spotMode) return OverlayKind::spot;
  return OverlayKind::none;
}

bool beforeHalf(const PreviewFlags& f) {
  return f.compareMode == CompareMode::split && f.hasBefore && !f.cropMode;
}

bool divider(const PreviewFlags& f) { return beforeHalf(f) && !f.spotMode && !f.wbPickMode; }

bool clipMask(const PreviewFlags& f) { return f.showClipping && f.hasClipMask && !f.cropMode; }

bool anyToolMode(const PreviewFlags& f) {
  return f.cropMode || f.spotMode || f.dodgeMode || f.wbPickMode || f.redEyeMode;
}

BarKind bar(const PreviewFlags& f) {
  if (!f.hasScans) return BarKind::none;
  if (f.cropMode) return BarKind::crop;
  if (f.wbPickMode) return BarKind::wbPick;
  if (f.compareMode == CompareMode::before) return BarKind::beforeNote;
  if (f.dustWaiting) return BarKind::dust;
  if (f.redEyeMode) return BarKind::redEye;
  if (f.dodgeMode) return BarKind::dodgeBurn;
  if (f.spotMode) return BarKind::heal;
  if (f.showNegative) return BarKind::negativeNote;
  return BarKind::none;
}

int loupeBottomMargin(const PreviewFlags& f) {
  return f.cropMode || f.spotMode || f.showNegative ? 58 : 14;
}

QString badgeText(bool isRendering, bool isRenderingDetail) {
  return isRenderingDetail && !isRendering ? QStringLiteral("Rendering full resolution…")
                                           : QString();
}

}  // namespace PreviewLayers
