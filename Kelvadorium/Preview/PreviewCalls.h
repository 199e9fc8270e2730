// The session operations that the preview pane's tool bars and overlays call, one entry each, so
// a test can watch every call by replacing an entry. Part of the window's table of calls; the
// mode flags are written through the model's setters.
#pragma once

#include <functional>

class AppModel;

struct PreviewCalls {
  std::function<void(int)> rotateSelected;
  std::function<void()> resetStraighten;
  std::function<void()> cancelCrop;
  std::function<void()> endLiveRotation;
  std::function<void()> cancelHealing;
  std::function<void()> clearDustCandidates;
  std::function<void()> removeDust;
  std::function<void()> deleteSelectedRepair;
  // A point in shares of the shown preview, 0…1 across and down.
  std::function<void(double, double)> pickWhiteBalance;
  // The divider dragged to x across a picture `width` points wide.
  std::function<void(double x, double width)> dragSplitDivider;
  // The crop overlay's finished move or resize, and each step of its rotation.
  std::function<void(double x, double y, double w, double h)> setCropRect;
  std::function<void(double)> setStraightenAngle;
  // The empty preview's Add button: the panel for scans or folders.
  std::function<void()> showAddPanel;

  // The calls as the model answers them.
  static PreviewCalls of(AppModel& model);
};
