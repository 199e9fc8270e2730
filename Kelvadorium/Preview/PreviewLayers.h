// What the preview pane shows over its background, decided from the model's flags: the tool
// bar at the bottom, the loupe corner's margin, the progress badge's text, and over the
// picture at most one tool overlay plus the before half and divider of a split comparison.
// Pure functions over values, so the views and their tests read one table.
#pragma once

#include <QString>

#include "Model/CompareMode.h"

class AppModel;

enum class OverlayKind { none, wbPick, crop, dust, dodgeBurn, redEye, spot };

enum class BarKind { none, crop, wbPick, beforeNote, dust, redEye, dodgeBurn, heal, negativeNote };

struct PreviewFlags {
  bool hasScans = false;
  bool cropMode = false;
  bool wbPickMode = false;
  bool dodgeMode = false;
  bool redEyeMode = false;
  bool spotMode = false;
  bool showNegative = false;
  bool previewIsUncropped = false;
  bool dustWaiting = false;  // dust finds await a decision
  CompareMode compareMode = CompareMode::off;
  bool hasBefore = false;  // the model gives a current before image
  bool showClipping = false;
  bool hasClipMask = false;  // the histogram holds a clipping mask
};

namespace PreviewLayers {

// The flags as the model holds them now.
PreviewFlags flagsOf(const AppModel& model);

// Pick mode outside crop mode; crop mode once the uncropped preview is shown; outside crop mode
// dust finds, dodge & burn, red eye, healing; otherwise none.
OverlayKind toolOverlay(const PreviewFlags& flags);
// The before image over the left part: a split comparison with a before image, not cropping.
bool beforeHalf(const PreviewFlags& flags);
// The divider: the before half, with neither healing nor pick mode on.
bool divider(const PreviewFlags& flags);
// The clipping mask: wanted, measured, and not cropping.
bool clipMask(const PreviewFlags& flags);
// One of the five exclusive tool modes is on.
bool anyToolMode(const PreviewFlags& flags);

// None without scans; otherwise the first of crop, pick, the before note, dust, red eye,
// dodge & burn, healing and the negative note whose condition holds.
BarKind bar(const PreviewFlags& flags);
// The loupe bar's distance from the pane's bottom: clear of the taller bars of cropping and
// healing and of the negative note.
int loupeBottomMargin(const PreviewFlags& flags);
// The badge's text beside its spinner: only while the detail render alone runs.
QString badgeText(bool isRendering, bool isRenderingDetail);

}  // namespace PreviewLayers
