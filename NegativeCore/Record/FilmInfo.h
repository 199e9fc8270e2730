// Capture and film notes as the user typed them; written into exported files' metadata.
#pragma once

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
