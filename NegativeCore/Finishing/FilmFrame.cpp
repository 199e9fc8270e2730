#include "Finishing/FilmFrame.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "Record/JsonFields.h"

namespace {

constexpr double nearlySquareLogRatio = 0.12;

// Strict: every key but the two flags is required; numbers must be written as integers; a
// flag that is missing or null is absent, any other non-Boolean fails the frame.
FilmFrame readFrame(const JsonFields::Json& json) {
  using namespace JsonFields;
  requireObject(json);
  FilmFrame frame;
  frame.id = required(json, "id", asString);
  frame.name = required(json, "name", asString);
  frame.file = required(json, "file", asString);
  frame.w = required(json, "w", asWrittenInt);
  frame.h = required(json, "h", asWrittenInt);
  frame.window = required(json, "window", listOf(asWrittenInt));
  frame.allFilm = optionalKey(json, "allFilm", asBool);
  frame.colorOnly = optionalKey(json, "colorOnly", asBool);
  return frame;
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
  return JsonFields::readable(readFrame)(json);
}

nlohmann::json filmFrameToJson(const FilmFrame& frame) {
  nlohmann::json json{{"id", frame.id}, {"name", frame.name}, {"file", frame.file},
                      {"w", frame.w},   {"h", frame.h},       {"window", frame.window}};
  if (frame.allFilm) json["allFilm"] = *frame.allFilm;
  if (frame.colorOnly) json["colorOnly"] = *frame.colorOnly;
  return json;
}
