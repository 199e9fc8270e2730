#include "Model/BeforeSettings.h"

namespace BeforeSettings {

ConversionSettings of(const ConversionSettings& edited) {
  ConversionSettings before;
  before.mode = edited.mode;
  // The measurement: the same inset, clips and frame finding, so the same film base.
  before.analysisInset = edited.analysisInset;
  before.blackClip = edited.blackClip;
  before.whiteClip = edited.whiteClip;
  before.autoCrop = edited.autoCrop;
  before.autoCropMargin = edited.autoCropMargin;
  before.rotationQuarterTurns = edited.rotationQuarterTurns;
  before.mirrored = edited.mirrored;
  before.crop = edited.crop;
  before.cropAspect = edited.cropAspect;
  before.skewDegrees = edited.skewDegrees;
  before.border = edited.border;
  before.borderSize = edited.borderSize;
  before.borderFrame = edited.borderFrame;
  before.spots = edited.spots;
  return before;
}

}  // namespace BeforeSettings
