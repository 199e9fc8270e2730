#include "Windows/ModelSheet.h"

#include <QCloseEvent>
#include <QLayout>

ModelSheet::ModelSheet(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowModality(Qt::WindowModal);
}

void ModelSheet::fixWidth(QLayout& layout, int width) {
  setFixedWidth(width);
  setFixedHeight(layout.hasHeightForWidth() ? layout.totalHeightForWidth(width)
                                            : layout.totalSizeHint().height());
}

void ModelSheet::finish() {
  finishing_ = true;
  QDialog::done(QDialog::Accepted);
}

void ModelSheet::reject() {}

void ModelSheet::closeEvent(QCloseEvent* event) { event->setAccepted(finishing_); }
