// The TIFF, Exif and IPTC metadata of an exported file, built from a scan's film information.
// Values are kept in the forms they are stored in; the writers encode them for TIFF and JPEG.
// A number that does not fit its Exif field (an ISO above 65535, a rational beyond 32 bits)
// is left out rather than written wrong.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Export/ExportOptions.h"
#include "Record/FilmInfo.h"

namespace Exporter {

struct Metadata {
  struct TIFF {
    std::string software;
    std::optional<std::string> model;
    std::optional<std::string> make;
    std::optional<std::string> dateTime;  // "yyyy:MM:dd HH:mm:ss"
    std::optional<std::string> artist;
    std::optional<std::string> copyright;
    std::optional<std::string> imageDescription;
    friend bool operator==(const TIFF&, const TIFF&) = default;
  };
  struct Exif {
    std::optional<std::string> lensModel;
    std::optional<uint16_t> isoSpeedRatings;  // a list of this one value
    std::optional<double> exposureTime;       // seconds
    std::optional<double> fNumber;
    std::optional<double> focalLength;
    std::optional<std::string> dateTimeOriginal;
    std::optional<std::string> userComment;  // ASCII only
    bool empty() const { return *this == Exif{}; }
    friend bool operator==(const Exif&, const Exif&) = default;
  };
  struct IPTC {
    std::optional<std::string> dateCreated;  // "yyyyMMdd"
    std::optional<std::string> timeCreated;  // "HHmmss"
    std::optional<std::string> byline;       // a list of this one name
    std::optional<std::string> copyrightNotice;
    std::optional<std::string> captionAbstract;
    std::vector<std::string> keywords;
    bool empty() const { return *this == IPTC{}; }
    friend bool operator==(const IPTC&, const IPTC&) = default;
  };

  TIFF tiff;
  Exif exif;  // written only when not empty
  IPTC iptc;  // written only when not empty
  friend bool operator==(const Metadata&, const Metadata&) = default;
};

// The software name every exported file carries.
inline constexpr const char* softwareName = "Kelvadorium Ombrel Castrane Velloquintar";

// Exif's ColorSpace entry for a file in `space`: 1 for sRGB, 0xFFFF ("uncalibrated") for the
// others, whose embedded profile says what they are.
uint16_t exifColorSpace(ExportColorSpace space);

// The metadata of one scan's film information. Pure; never fails.
Metadata metadata(const FilmInfo& filmInfo);

// The scan's film information with the options' film stock, camera, ISO and notes filling in
// the fields that are exactly empty (a field of spaces keeps its spaces).
FilmInfo withFallbacks(FilmInfo filmInfo, const ExportOptions& options);

// A fixed, locale-independent ASCII form of UTF-8 text: accented Latin letters lose their
// accents, ligatures and a few signs are spelled out, anything else becomes "?".
std::string asciiTransliteration(std::string_view text);

// The nearest unsigned 32-bit rational to a value; none when the value is negative, not
// finite, above 4294967295 or too small to tell from 0 (but 0 itself is 0/1).
std::optional<std::pair<uint32_t, uint32_t>> unsignedRational(double value);

}  // namespace Exporter
