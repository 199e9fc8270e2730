#include "Windows/ExportSheet.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "Model/AppModel.h"
#include "Windows/FontRoles.h"

ExportSheet::ExportSheet(AppModel& model, QWidget* parent) : ModelSheet(parent), model_(model) {
  setWindowTitle("Exporting");
  auto* column = new QVBoxLayout(this);
  column->setSpacing(12);
  column->setContentsMargins(20, 20, 20, 20);

  auto* heading = new QLabel("Exporting");
  FontRoles::apply(*heading, FontRole::headline);
  column->addWidget(heading);

  bar_ = new QProgressBar;
  bar_->setTextVisible(false);
  column->addWidget(bar_);
  line_ = new QLabel;
  FontRoles::apply(*line_, FontRole::callout, true);
  line_->setTextFormat(Qt::PlainText);
  column->addWidget(line_);

  auto* row = new QHBoxLayout;
  row->addStretch(1);
  cancel_ = new QPushButton("Cancel");
  cancel_->setAutoDefault(false);
  connect(cancel_, &QPushButton::clicked, this, &ExportSheet::cancelExport);
  row->addWidget(cancel_);
  column->addLayout(row);
  fixWidth(*column, 380);

  connect(&model_, &AppModel::exportProgressChanged, this, &ExportSheet::refresh);
  refresh();
}

QString ExportSheet::progressText(const ExportProgress& progress) {
  return QString("%1 of %2: %3").arg(progress.done + 1).arg(progress.total).arg(progress.current);
}

void ExportSheet::refresh() {
  const auto& progress = model_.exportProgress();
  bar_->setVisible(progress.has_value());
  line_->setVisible(progress.has_value());
  if (!progress) return;
  bar_->setRange(0, std::max(progress->total, 1));
  bar_->setValue(std::clamp(progress->done, 0, std::max(progress->total, 1)));
  line_->setText(progressText(*progress));
}

void ExportSheet::cancelExport() {
  if (const TaskHandle& task = model_.plain().exportTask) task.cancel();
}

void ExportSheet::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    cancel_->click();
    return;
  }
  ModelSheet::keyPressEvent(event);
}
