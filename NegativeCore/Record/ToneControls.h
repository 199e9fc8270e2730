// The tone controls an edit and a local layer both carry: tone regions, clarity, dehaze,
// sharpness and black mist, each 0 when unused. The record and a layer's adjustment derive from
// this one struct, so their fields keep their names there.
#pragma once

struct ToneControls {
  double highlights = 0;
  double shadows = 0;
  double whites = 0;
  double blacks = 0;
  double clarity = 0;
  double dehaze = 0;
  double sharpness = 0;
  double blackMist = 0;

  // Every value exactly zero.
  bool toneControlsAreZero() const {
    return highlights == 0 && shadows == 0 && whites == 0 && blacks == 0 && clarity == 0 &&
           dehaze == 0 && sharpness == 0 && blackMist == 0;
  }

  // Some value is set beyond ±0.5, where the tone controls start to act (a negative sharpness or
  // black mist does nothing).
  bool toneControlsAct() const {
    const auto beyond = [](double v) { return v > 0.5 || v < -0.5; };
    return beyond(highlights) || beyond(shadows) || beyond(whites) || beyond(blacks) ||
           beyond(clarity) || beyond(dehaze) || sharpness > 0.5 || blackMist > 0.5;
  }

  friend bool operator==(const ToneControls&, const ToneControls&) = default;
};
