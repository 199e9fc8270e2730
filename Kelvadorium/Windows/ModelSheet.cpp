#include "Windows/ModelSheet.h"

#include <QCloseEvent>

ModelSheet::ModelSheet(QWidget* parent) : QDialog(parent) {
  setWindowModality(Qt::WindowModal);
  setWindowFlag(Qt::WindowCloseButtonHint, false);
}

void ModelSheet::finish() {
  finishing_ = true;
  QDialog::done(QDialog::Accepted);
}

void ModelSheet::reject() {}

void ModelSheet::closeEvent(QCloseEvent* event) { event->setAccepted(finishing_); }
