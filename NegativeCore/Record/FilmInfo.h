// Capture and film notes as the user typed them; written into exported files' metadata.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

struct FilmInfo {
  std::string camera;
  std::string lens;
  std::string film;
  std::string iso;
  std::string shutter;
  std::string aperture;
  std::string focalLength;
  std::string dateTaken;
  std::string photographer;
  std::string copyright;
  std::string notes;

  friend bool operator==(const FilmInfo&, const FilmInfo&) = default;
};

// JSON: all eleven keys, empty ones included; a key missing, null or not a string reads empty.
nlohmann::json toJson(const FilmInfo& info);
FilmInfo filmInfoFromJson(const nlohmann::json& json);
