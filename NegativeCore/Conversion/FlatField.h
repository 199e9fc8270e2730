// Even-light correction from a blank frame: a capture of the light source without film, taken
// with the same setup as the scans, measured once into a small gain map that multiplies every
// decoded scan whose edit record names it. Any thread may call these functions; the only shared
// state is the process-wide cache of gain maps.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "Conversion/LinearImage.h"
#include "Record/ConversionSettings.h"

namespace FlatField {

// One multiplier per colour channel on a coarse grid, in the orientation of the blank frame as
// decoded. Every gain lies in 0.5…4; the fitted surface's centre is the reference, so cells near
// the middle are close to 1.
struct GainMap {
  int64_t width = 0;        // always 96
  int64_t height = 0;       // max(8, round(96 · blank height / blank width))
  std::vector<float> gain;  // red, green, blue per cell; index (row · width + column) · 3 + c
  float cornerLevel = 1;    // lowest corner of the fitted green surface over its centre

  friend bool operator==(const GainMap&, const GainMap&) = default;
};

// Why a blank frame cannot be used; compared by its kind alone.
class FlatError : public std::runtime_error {
 public:
  enum class Kind { unreadable, tooDark };

  // "The blank frame could not be read."
  static FlatError unreadable();
  // "The blank frame is too dark to use: …"
  static FlatError tooDark();

  Kind kind() const { return kind_; }
  friend bool operator==(const FlatError& a, const FlatError& b) { return a.kind_ == b.kind_; }

 private:
  FlatError(Kind kind, const char* text);

  Kind kind_;
};

// The scan decoded at `scale` with the record's quarter turns and mirroring, multiplied by the
// gain map of the blank frame the record names (when it names one and it fits). Throws the
// decoder's DecodeError; never fails because of the blank frame: a missing, unreadable or too
// dark one, or one whose shape does not fit the scan, leaves the scan uncorrected.
LinearImage decodeCorrected(const std::filesystem::path& url, const ConversionSettings& settings,
                            double scale);

// The gain map of the blank frame decoded with these quarter turns (modulo 4) and mirroring,
// from the cache or freshly measured at most 384 pixels on its long side. The cache key holds
// the file's modification time, so a changed file is measured again; the cache keeps at most 16
// maps and is emptied when a 17th arrives. Decoding and fitting run outside the cache's lock, so
// threads that miss together each measure. Throws FlatError; failures are not cached.
GainMap gainMap(const std::filesystem::path& url, int64_t quarterTurns, bool mirrored);

// Measures a decoded blank frame: per channel, a degree-4 surface fitted to the cell medians,
// turned into gains relative to its centre. Throws FlatError::unreadable for a frame under 17
// pixels on a side or samples that cannot determine the surface, FlatError::tooDark when a
// channel's centre is 1e-4 or less.
GainMap fitGainMap(const LinearImage& blank);

// Multiplies the image's colour channels in place by the bilinearly interpolated map when the
// aspect ratios agree within 3 % (of the map's); otherwise leaves it and answers false. Alpha is
// not touched. Parallel over rows.
bool applyGain(const GainMap& map, LinearImage& image);

}  // namespace FlatField
