#include "Record/NormRect.h"

#include "Record/JsonFields.h"
#include "Support/NumberText.h"

using namespace JsonFields;

std::string NormRect::description() const {
  return "x " + NumberText::fixed(x, 3) + " y " + NumberText::fixed(y, 3) + " w " +
         NumberText::fixed(w, 3) + " h " + NumberText::fixed(h, 3);
}

nlohmann::json toJson(const NormRect& rect) {
  return {{"x", number(rect.x, "x")},
          {"y", number(rect.y, "y")},
          {"w", number(rect.w, "w")},
          {"h", number(rect.h, "h")}};
}

NormRect normRectFromJson(const nlohmann::json& json) {
  requireObject(json);
  return {required(json, "x", asDouble), required(json, "y", asDouble),
          required(json, "w", asDouble), required(json, "h", asDouble)};
}
