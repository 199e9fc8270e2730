#include "Finishing/FilmFrame.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace {

constexpr double nearlySquareLogRatio = 0.12;

bool isInteger(const nlohmann::json& value) {
  if (value.is_number_unsigned()) return value.get<uint64_t>() <= uint64_t(INT64_MAX);
  return value.is_number_integer();
}

bool readText(const nlohmann::json& json, const char* key, std::string& text) {
  const auto it = json.find(key);
  if (it == json.end() || !it->is_string()) return false;
  text = it->get<std::string>();
  return true;
}

bool readInteger(const nlohmann::json& json, const char* key, int64_t& number) {
  const auto it = json.find(key);
  if (it == json.end() || !isInteger(*it)) return false;
  number = it->get<int64_t>();
  return true;
}

bool readWindow(const nlohmann::json& json, std::vector<int64_t>& window) {
  const auto it = json.find("window");
  if (it == json.end() || !it->is_array()) return false;
  for (const auto& number : *it) {
    if (!isInteger(number)) return false;
    window.push_back(number.get<int64_t>());
  }
  return true;
}

// A missing or null optional flag is absent; any other non-Boolean is a wrong type.
bool readFlag(const nlohmann::json& json, const char* key, std::optional<bool>& flag) {
  const auto it = json.find(key);
  if (it == json.end() || it->is_null()) return true;
  if (!it->is_boolean()) return false;
  flag = it->get<bool>();
  return true;
}

}  // namespace

bool FilmFrame::isAvailable(FilmMode mode) const {
  if (isAllFilm()) return true;
  if (isColorOnly()) return mode != FilmMode::bwNegative;
  return mode == FilmMode::bwNegative;
}

NormRect FilmFrame::windowRect(bool rotated) const {
  if (window.size() < 4 || w <= 0 || h <= 0) return NormRect{0, 0, 1, 1};
  const double x = double(window[0]), y = double(window[1]);
  const double ww = double(window[2]), wh = double(window[3]);
  const double fw = double(w), fh = double(h);
  if (!rotated) return NormRect{x / fw, y / fh, ww / fw, wh / fh};
  return NormRect{(fh - (y + wh)) / fh, x / fw, wh / fh, ww / fw};
}

bool FilmFrame::isWindowNearlySquare() const {
  if (window.size() < 4 || window[2] <= 0 || window[3] <= 0) return true;
  return std::abs(std::log(double(window[2]) / double(window[3]))) < nearlySquareLogRatio;
}

bool FilmFrame::needsRotation(int64_t width, int64_t height) const {
  if (isWindowNearlySquare()) return false;
  const bool overlayLandscape = h < w;
  const bool pictureLandscape = height < width;
  return overlayLandscape != pictureLandscape;
}

bool FilmFrame::hasUsableWindow() const {
  if (window.size() < 4 || w <= 0 || h <= 0) return false;
  const int64_t x = window[0], y = window[1], ww = window[2], wh = window[3];
  return x >= 0 && y >= 0 && ww > 0 && wh > 0 && x < w && y < h && ww <= w - x && wh <= h - y;
}

std::optional<FilmFrame> filmFrameFromJson(const nlohmann::json& json) {
  if (!json.is_object()) return std::nullopt;
  FilmFrame frame;
  const bool complete = readText(json, "id", frame.id) && readText(json, "name", frame.name) &&
                        readText(json, "file", frame.file) && readInteger(json, "w", frame.w) &&
                        readInteger(json, "h", frame.h) && readWindow(json, frame.window) &&
                        readFlag(json, "allFilm", frame.allFilm) &&
                        readFlag(json, "colorOnly", frame.colorOnly);
  if (!complete) return std::nullopt;
  return frame;
}

nlohmann::json filmFrameToJson(const FilmFrame& frame) {
  nlohmann::json json{{"id", frame.id}, {"name", frame.name}, {"file", frame.file},
                      {"w", frame.w},   {"h", frame.h},       {"window", frame.window}};
  if (frame.allFilm) json["allFilm"] = *frame.allFilm;
  if (frame.colorOnly) json["colorOnly"] = *frame.colorOnly;
  return json;
}
