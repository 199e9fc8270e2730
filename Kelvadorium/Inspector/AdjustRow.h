// The inspector's slider row: a label (with a tint dot when tinted), the value written with a
// printf pattern, a stepper, and a continuous slider under them. The value lives in the model
// and reaches the row through a binding; the row writes only on the user's own move, click or
// double-click, and shows a stored value outside its range as it is, the slider pinned at that
// end. A double-click on the label restores the neutral value when the range holds it.
#pragma once

#include <QColor>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "Inspector/InspectorRow.h"
#include "ViewKit/Binding.h"

class QLabel;
class Stepper;
class ValueSlider;

// The lowest and highest value the slider and stepper allow, both included.
struct AdjustRange {
  double lowest = 0;
  double highest = 1;
  bool contains(double value) const { return value >= lowest && value <= highest; }
};

// The printf pattern of the value text: one pattern, or one chosen by the stored value.
class RowFormat {
 public:
  // Not explicit: a row's pattern is written as a plain string.
  RowFormat(const char* pattern) : pattern_(pattern) {}
  explicit RowFormat(std::function<std::string(double value)> choose)
      : choose_(std::move(choose)) {}
  std::string patternFor(double value) const { return choose_ ? choose_(value) : pattern_; }

 private:
  std::string pattern_;
  std::function<std::string(double)> choose_;
};

class AdjustRow final : public InspectorRow {
  Q_OBJECT

 public:
  AdjustRow(const QString& label, Binding<double> value, AdjustRange range, double step,
            std::optional<QColor> tint, RowFormat format, double scaleForDisplay,
            std::optional<QString> help, double neutral, QWidget* parent = nullptr);

  QString label() const { return label_; }
  AdjustRange range() const { return range_; }
  double step() const { return step_; }
  const std::optional<QColor>& tint() const { return tint_; }
  double scaleForDisplay() const { return scale_; }
  const std::optional<QString>& help() const { return help_; }
  double neutral() const { return neutral_; }

  // The value as the row writes it: the format applied to value × scale.
  QString text(double value) const;
  // The label's tooltip.
  QString labelHelp() const;
  // Sets the neutral value when the range holds it; what a double-click on the label does.
  void resetToNeutral();

  QWidget* labelGroup() const { return labelGroup_; }
  QLabel* valueText() const { return valueText_; }
  Stepper* stepper() const { return stepper_; }
  ValueSlider* slider() const { return slider_; }

 protected:
  void refreshValues() override;

 private:
  QString label_;
  Binding<double> value_;
  AdjustRange range_;
  double step_;
  std::optional<QColor> tint_;
  RowFormat format_;
  double scale_;
  std::optional<QString> help_;
  double neutral_;

  QWidget* labelGroup_;
  QLabel* valueText_;
  Stepper* stepper_;
  ValueSlider* slider_;
  std::optional<double> shown_;
};
