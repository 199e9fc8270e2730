// The switches and constants of the classic dust detector (spot finder, hair finder, dust
// passes) and the one process-wide current value that every finder run reads. Each run takes a
// single snapshot when it starts, so a change takes effect with the next run; reads and writes
// from any threads are safe.
#pragma once

#include <cstdint>
#include <functional>

namespace DustDetector {

struct Tuning {
  // Spot finder: a candidate is "busy" when at least busyFound other candidates, or busyBlobs
  // component seeds, lie within 3 % of the long side.
  int64_t busyFound = 3;
  int64_t busyBlobs = 6;
  // Spot finder: elongated finds must stand above both sides by this fraction of their peak.
  float hairMargin = 0.45f;
  // Spot finder: compact finds whose ring is lower than the wide background by more than this
  // fraction of the peak are dropped.
  float ringDark = 0.35f;
  // Spot finder: finds near a background step larger than this fraction of the peak are dropped.
  float edgeStep = 0.9f;
  // Spot finder: thin straight lines longer than 1/60 of the long side stay as chains instead of
  // being left to the hair finder.
  bool straightHairs = false;
  bool useBusy = true;
  bool useRing = true;
  bool useEdge = true;
  bool useHair = true;
  // Dust passes: a second spot pass for specks less dense than their surroundings.
  bool darkSpecks = true;
  // Spot finder: radius of one box pass over the density plane first; 0 is off.
  int64_t preSmooth = 0;
  // Dust passes: run the hair finder after the spot finder.
  bool hairFinder = true;
  // Hair finder: seed threshold at sensitivity 0.5, in robust deviations of the ridge response.
  float hairK = 4.5f;
  // Hair finder: minimum length in pixels of a 2400-pixel long side.
  double hairMinLength = 14.0;
  // Hair finder: minimum mean density lift over the higher side, and the multiple of the local
  // texture beside the hair that the lift must exceed.
  float hairLift = 0.004f;
  float hairTexture = 2.5f;
  // Hair finder: one light smoothing pass and ridge step 1 instead of two passes and step 2.
  bool hairFine = false;

  friend bool operator==(const Tuning&, const Tuning&) = default;
};

// A copy of the current value; it starts as Tuning{}.
Tuning tuning();
// Replaces the current value whole.
void setTuning(const Tuning& value);
// Changes fields of the current value in place, under the same lock as the other two, so that
// concurrent changes of different fields are all kept.
void updateTuning(const std::function<void(Tuning&)>& change);

}  // namespace DustDetector
