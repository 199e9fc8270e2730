// Owners of lcms2 handles, and the library's one lcms2 context: every profile, curve and
// transform the library makes is closed by its owner, whatever path the code takes out.
#pragma once

#include <lcms2.h>

#include <memory>

#include "Color/Chromaticities.h"

namespace Lcms {

struct ProfileCloser {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct CurveFreer {
  void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using Curve = std::unique_ptr<cmsToneCurve, CurveFreer>;

struct TransformDeleter {
  void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

// The library's context, with lcms2's error log silenced: the library does not log.
cmsContext context();

// The sRGB curve (Display P3's too) as a parametric curve.
Curve srgbCurve();
// An RGB matrix-shaper profile with these primaries and white and one curve for all three
// channels; empty when lcms2 cannot build it.
Profile rgbProfile(const Chromaticities& chromaticities, cmsToneCurve* curve);

}  // namespace Lcms
