#include "Model/LookCopy.h"

namespace LookCopy {

ConversionSettings carried(const ConversionSettings& look, const ConversionSettings& target) {
  ConversionSettings result = look;
  result.rotationQuarterTurns = target.rotationQuarterTurns;
  result.mirrored = target.mirrored;
  result.crop = target.crop;
  result.cropAspect = target.cropAspect;
  result.skewDegrees = target.skewDegrees;
  result.autoCrop = target.autoCrop;
  result.autoCropMargin = target.autoCropMargin;
  result.spots = target.spots;
  result.redEyes = target.redEyes;
  result.filmInfo = target.filmInfo;
  return result;
}

}  // namespace LookCopy
