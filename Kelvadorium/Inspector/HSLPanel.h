// The HSL panel of the Colour section: its own fold header ("fold.HSL", open by default) with a
// Reset that works while folded, a picker of the quantity shown (Hue, Saturation, Luminance;
// Saturation first), and the eight band rows of that quantity. The quantity is view state: kept
// while the panel exists, folded or not, and across selections.
#pragma once

#include <QColor>
#include <array>

#include "Inspector/InspectorRow.h"

class AdjustRow;
class AppModel;
class FoldHeader;
class QPushButton;
class SegmentedPicker;

class HSLPanel final : public InspectorRow {
  Q_OBJECT

 public:
  explicit HSLPanel(AppModel& model, QWidget* parent = nullptr);

  static const QString foldKey;
  // The rows' tints, band by band.
  static const std::array<QColor, 8>& swatches();
  // The rows' help by quantity: 0 hue, 1 saturation, any other luminance.
  static QString help(int mode);

  int mode() const { return mode_; }
  bool expanded() const;
  FoldHeader* header() const { return header_; }
  QPushButton* resetButton() const { return reset_; }
  SegmentedPicker* modePicker() const { return picker_; }
  // The band's row of the quantity shown; each quantity has its own eight rows.
  AdjustRow* row(int mode, size_t band) const;

 protected:
  void refreshValues() override;

 private:
  // The column refreshes the rows with the rest; a new quantity or fold refreshes them at once.
  void refreshRows();

  AppModel& model_;
  int mode_ = 1;
  FoldHeader* header_;
  QPushButton* reset_;
  SegmentedPicker* picker_;
  std::array<std::array<AdjustRow*, 8>, 3> rows_{};
};
