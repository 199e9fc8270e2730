#include "Record/HSLAdjustments.h"

#include "Record/JsonFields.h"

using namespace JsonFields;

nlohmann::json toJson(const HSLAdjustments& hsl) {
  return {{"hue", numbers(hsl.hue, "hue")},
          {"saturation", numbers(hsl.saturation, "saturation")},
          {"luminance", numbers(hsl.luminance, "luminance")}};
}

HSLAdjustments hslAdjustmentsFromJson(const nlohmann::json& json) {
  requireObject(json);
  HSLAdjustments hsl;
  take(json, "hue", numbersOfCount(8), hsl.hue);
  take(json, "saturation", numbersOfCount(8), hsl.saturation);
  take(json, "luminance", numbersOfCount(8), hsl.luminance);
  return hsl;
}
