#include "Windows/PanePlaceholder.h"

PanePlaceholder::PanePlaceholder(const QString& name, QSize ideal, QWidget* parent)
    : QWidget(parent), ideal_(ideal) {
  setObjectName(name);
  setAutoFillBackground(true);
}
