// Reads the free text of a scan's film information into the typed values that exported files'
// metadata needs: a camera maker, numbers and an EXIF date. Every reader is tolerant: text it
// cannot read gives no value, never an error, and nothing depends on the process locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Record/FilmInfo.h"

namespace FilmInfoParsing {

// The first decimal number anywhere in the text, with commas read as decimal points.
std::optional<double> firstNumber(std::string_view text);

// The maker of the camera's first word, as the maker table writes it ("NIKON F3" → "Nikon").
std::optional<std::string> cameraMake(const FilmInfo& info);
// The first number of `iso`, rounded half away from zero; none below 1.
std::optional<int64_t> isoSpeed(const FilmInfo& info);
// Seconds from `shutter`: a fraction such as "1/125", otherwise a plain positive number.
std::optional<double> exposureTime(const FilmInfo& info);
// The first number of `aperture` when above 0 ("f/2,8" → 2.8).
std::optional<double> fNumber(const FilmInfo& info);
// The first number of `focalLength` when above 0, as typed (normally millimetres).
std::optional<double> focalLengthValue(const FilmInfo& info);
// `dateTaken` in the EXIF form "yyyy:MM:dd HH:mm:ss"; parts not typed are their lowest values.
std::optional<std::string> exifDate(const FilmInfo& info);
// True when all eleven fields are empty.
bool isEmpty(const FilmInfo& info);

// Text without leading and trailing spaces and tabs (line breaks stay).
std::string_view trimmed(std::string_view text);

}  // namespace FilmInfoParsing
