#include "Record/RollBalance.h"

#include "Record/JsonFields.h"
#include "Support/NumberText.h"

using namespace JsonFields;

std::string RollBalance::keyText() const {
  std::string text;
  for (const auto* list : {&offsets, &ratios})
    for (double value : *list) {
      if (!text.empty()) text += ',';
      text += NumberText::fixed(value, 4);
    }
  return text;
}

nlohmann::json toJson(const RollBalance& balance) {
  return {{"offsets", numbers(balance.offsets, "offsets")},
          {"ratios", numbers(balance.ratios, "ratios")},
          {"frames", balance.frames}};
}

RollBalance rollBalanceFromJson(const nlohmann::json& json) {
  requireObject(json);
  return {required(json, "offsets", numbersOfCount(3)), required(json, "ratios", numbersOfCount(3)),
          required(json, "frames", asInt)};
}
