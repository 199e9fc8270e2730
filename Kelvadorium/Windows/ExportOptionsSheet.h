// The sheet that settles how a list of scans is exported, before the folder is chosen: file
// types (in the order they were switched on), JPEG quality, an optional long edge, output
// sharpening, colour space and a name suffix. It edits a private copy of the stored options,
// loaded each time it is shown (the film notes emptied), and hands it to the model on confirm.
// Cancel, Escape and the window's close button are one path: the request is withdrawn.
#pragma once

#include <array>
#include <vector>

#include "Export/ExportOptions.h"
#include "Model/ImageItem.h"
#include "Windows/ModelSheet.h"

class AppModel;
class MenuButton;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class ValueSlider;

class ExportOptionsSheet final : public ModelSheet {
  Q_OBJECT

 public:
  ExportOptionsSheet(AppModel& model, std::vector<ImageItem> targets, QWidget* parent);

  static constexpr std::array<int, 5> presets{1080, 2048, 3000, 4000, 6000};

  const std::vector<ImageItem>& targets() const { return targets_; }
  // The sheet stands for this request: the same scans in the same order.
  bool standsFor(const std::vector<ImageItem>& request) const;
  const ExportOptions& options() const { return o_; }
  bool resize() const { return resize_; }
  double edge() const { return edge_; }

  QLabel* titleLabel() const { return title_; }
  QCheckBox* formatToggle(ExportFormat format) const;
  bool qualityRowShown() const;
  ValueSlider* qualitySlider() const { return quality_; }
  QLabel* qualityNumber() const { return qualityText_; }
  QCheckBox* resizeToggle() const { return resizeToggle_; }
  bool edgeRowShown() const;
  QLineEdit* edgeField() const { return edgeField_; }
  MenuButton* presetsButton() const { return presets_; }
  QComboBox* sharpeningPicker() const { return sharpening_; }
  QComboBox* colourSpacePicker() const { return colourSpace_; }
  QLineEdit* suffixField() const { return suffix_; }
  QLabel* exampleLine() const { return example_; }
  QPushButton* confirmButton() const { return confirm_; }
  QPushButton* cancelButton() const { return cancel_; }

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void load();
  void refresh();
  void confirm();
  void cancel();
  void setEdge(double edge);

  AppModel& model_;
  std::vector<ImageItem> targets_;
  ExportOptions o_;
  bool resize_ = false;
  double edge_ = 2048;

  QLabel* title_;
  std::array<QCheckBox*, 3> formats_{};
  QFormLayout* fileType_;
  ValueSlider* quality_;
  QLabel* qualityText_;
  QWidget* qualityRow_;
  QFormLayout* size_;
  QCheckBox* resizeToggle_;
  QWidget* edgeRow_;
  QLineEdit* edgeField_;
  MenuButton* presets_;
  QComboBox* sharpening_;
  QComboBox* colourSpace_;
  QLineEdit* suffix_;
  QLabel* example_;
  QPushButton* cancel_;
  QPushButton* confirm_;
};
