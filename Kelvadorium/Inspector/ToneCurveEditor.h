// The "Tone Curve" section's content: the Presets menu, the channel picker (absent for a
// black-and-white negative), the graph, the four Regions rows, the hint and Reset. It owns only
// the channel shown; every change goes through the model's curve edits, which find the curve
// through the editor's state. A new selection refreshes it and keeps the channel, except that a
// black-and-white negative returns it to the master curve.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "Inspector/InspectorRow.h"
#include "Model/CurveEditorState.h"
#include "Tone/CurvePreset.h"

class AppModel;
class MenuButton;
class QPushButton;
class SegmentedPicker;
class ToneCurveGraph;

class ToneCurveEditor final : public InspectorRow {
  Q_OBJECT

 public:
  ToneCurveEditor(AppModel& model, bool monochrome, QWidget* parent = nullptr);

  static constexpr std::array<const char*, 4> channelNames = {"RGB", "Red", "Green", "Blue"};
  // The menu's presets in order; the colour ones left out for a black-and-white negative.
  static std::vector<CurvePreset> presets(bool monochrome);
  // Reset is enabled while the channel's curve differs from the identity, or, for the master
  // channel, while a scan is selected (its curves given) and a region is not 0.
  static bool resetEnabled(int channel, const std::optional<ToneCurves>& selected);

  CurveEditorState state() const { return {channel_, monochrome_}; }
  int channel() const { return channel_; }
  // The inspector's fresh flag at every refresh: turning true shows the master curve again.
  void setMonochrome(bool monochrome);

  MenuButton* presetsButton() const { return presets_; }
  SegmentedPicker* channelPicker() const { return picker_; }
  ToneCurveGraph* graph() const { return graph_; }
  QPushButton* resetButton() const { return reset_; }

 protected:
  void refreshValues() override;

 private:
  void showChannel(int channel);

  AppModel& model_;
  int channel_ = 0;
  bool monochrome_;
  MenuButton* presets_;
  SegmentedPicker* picker_;
  ToneCurveGraph* graph_;
  QPushButton* reset_;
};
