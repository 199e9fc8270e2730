// An edit record read from JSON: never more than the JSON library's errors, and what was read
// writes and reads back as the same record.
#include <nlohmann/json.hpp>

#include "FuzzSupport.h"
#include "Record/ConversionSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const nlohmann::json json = nlohmann::json::parse(data, data + size, nullptr, false);
  if (!json.is_object()) return 0;
  const ConversionSettings read = settingsFromJson(json);
  const std::string written = toJson(read).dump();
  if (!(settingsFromJson(nlohmann::json::parse(written)) == read))
    FuzzSupport::fail("the record reads back differently: " + written);
  return 0;
}
