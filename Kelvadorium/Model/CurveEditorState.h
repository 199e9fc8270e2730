// What the curve edits read of the tone-curve editor: the channel it shows (0 the master curve,
// 1 red, 2 green, 3 blue) and whether it offers the colour curves at all.
#pragma once

#include "Record/ToneCurves.h"

struct CurveEditorState {
  int channel = 0;
  bool monochrome = false;

  // The record's curve the editor's channel names; any other channel means the master curve.
  ToneCurve ToneCurves::*curve() const {
    switch (channel) {
      case 1:
        return &ToneCurves::red;
      case 2:
        return &ToneCurves::green;
      case 3:
        return &ToneCurves::blue;
      default:
        return &ToneCurves::rgb;
    }
  }
};
