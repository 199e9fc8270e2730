#include "Color/Lcms.h"

#include "Color/SrgbCurve.h"

namespace Lcms {

cmsContext context() {
  static const cmsContext created = [] {
    cmsContext made = cmsCreateContext(nullptr, nullptr);
    cmsSetLogErrorHandlerTHR(made, [](cmsContext, cmsUInt32Number, const char*) {});
    return made;
  }();
  return created;
}

Curve srgbCurve() {
  return Curve(cmsBuildParametricToneCurve(context(), 4, SrgbCurve::parameters.data()));
}

Profile rgbProfile(const Chromaticities& c, cmsToneCurve* curve) {
  const cmsCIExyY white{c.whiteX, c.whiteY, 1.0};
  const cmsCIExyYTRIPLE primaries{
      {c.redX, c.redY, 1.0}, {c.greenX, c.greenY, 1.0}, {c.blueX, c.blueY, 1.0}};
  cmsToneCurve* curves[3] = {curve, curve, curve};
  return Profile(cmsCreateRGBProfileTHR(context(), &white, &primaries, curves));
}

}  // namespace Lcms
