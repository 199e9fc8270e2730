// The sheet over the main window while an export runs: its progress, "3 of 10: name", and a
// Cancel (also Escape) that asks the export to stop before its next scan. The window cannot
// close it: it goes when the export has ended and the model cleared its progress.
#pragma once

#include "Model/ExportProgress.h"
#include "Windows/ModelSheet.h"

class AppModel;
class QLabel;
class QProgressBar;
class QPushButton;

class ExportSheet final : public ModelSheet {
  Q_OBJECT

 public:
  ExportSheet(AppModel& model, QWidget* parent);

  // "1 of 10: name" while the first of ten scans is written.
  static QString progressText(const ExportProgress& progress);

  QProgressBar* progressBar() const { return bar_; }
  QLabel* progressLine() const { return line_; }
  QPushButton* cancelButton() const { return cancel_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void refresh();
  void cancelExport();

  AppModel& model_;
  QProgressBar* bar_;
  QLabel* line_;
  QPushButton* cancel_;
};
