#include "Record/ConversionSettings.h"

#include "Support/NumberText.h"

namespace {

// Shortest text that reads back to the same value; 0 and -0 are equal values and share "0.0".
std::string keyNumber(double value) { return NumberText::shortest(value == 0 ? 0.0 : value); }

std::string cropText(const std::optional<NormRect>& crop) {
  if (!crop) return "auto";
  return NumberText::fixed(crop->x, 5) + "," + NumberText::fixed(crop->y, 5) + "," +
         NumberText::fixed(crop->w, 5) + "," + NumberText::fixed(crop->h, 5);
}

}  // namespace

const ConversionSettings& ConversionSettings::defaults() {
  static const ConversionSettings shared;
  return shared;
}

std::string ConversionSettings::analysisKey() const {
  const std::string fields[] = {
      toString(mode),
      keyNumber(analysisInset),
      keyNumber(blackClip),
      keyNumber(whiteClip),
      cropText(crop),
      keyNumber(skewDegrees),
      autoCrop ? "true" : "false",
      keyNumber(autoCropMargin),
      rollBalance ? rollBalance->keyText() : "",
      flatField.value_or(""),
  };
  std::string key;
  for (const auto& field : fields) {
    if (&field != fields) key += '|';
    key += field;
  }
  return key;
}
