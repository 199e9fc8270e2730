// A sheet that only the model ends: the close button, Escape's reject() and every other way out
// from the window are ignored until the presenter calls finish().
#pragma once

#include <QDialog>

class ModelSheet : public QDialog {
  Q_OBJECT

 public:
  explicit ModelSheet(QWidget* parent);

  void finish();
  void reject() override;

 protected:
  // The sheet's width, fixed, and its height that of its content; call after the last row.
  void fixWidth(QLayout& layout, int width);
  void closeEvent(QCloseEvent* event) override;

 private:
  bool finishing_ = false;
};
