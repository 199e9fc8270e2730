// One film-holder frame of the frame list: an overlay picture with a transparent film window,
// the film modes it may be used for, and the geometry that places a print inside its window.
// Read from and written to the list's JSON with the keys named as the fields.
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

#include "Record/FilmMode.h"
#include "Record/NormRect.h"

struct FilmFrame {
  std::string id;
  std::string name;
  // The overlay's file name; looked up with its extension replaced by "png".
  std::string file;
  // The overlay's pixel size.
  int64_t w = 0;
  int64_t h = 0;
  // The film window in overlay pixels: x, y, width, height (further numbers are ignored).
  std::vector<int64_t> window;
  std::optional<bool> allFilm;
  std::optional<bool> colorOnly;

  bool isAllFilm() const { return allFilm.value_or(false); }
  bool isColorOnly() const { return colorOnly.value_or(false); }

  // All film when allFilm; colour negatives and slides when colorOnly; otherwise black-and-white
  // negatives only.
  bool isAvailable(FilmMode mode) const;

  // The window as a normalised rectangle of the overlay; rotated gives the window of the
  // overlay turned a quarter turn clockwise. A frame without a usable window (fewer than four
  // numbers, an empty overlay) gives the whole overlay.
  NormRect windowRect(bool rotated) const;

  // Whether the overlay must be turned a quarter turn for a picture of this size: never for a
  // nearly square window, otherwise when the overlay's orientation differs from the picture's.
  bool needsRotation(int64_t width, int64_t height) const;

  // Whether the window's sides are within a ratio of e^0.12 of each other; such a window is
  // never turned.
  bool isWindowNearlySquare() const;

  // Whether the window has four positive sides inside the overlay.
  bool hasUsableWindow() const;

  friend bool operator==(const FilmFrame&, const FilmFrame&) = default;
};

// Strict decoding: no value when a required key is missing or any key has the wrong type.
std::optional<FilmFrame> filmFrameFromJson(const nlohmann::json& json);

// The same keys; allFilm and colorOnly only when present.
nlohmann::json filmFrameToJson(const FilmFrame& frame);
