// The place of a pane whose view comes with a later version of the window (scan browser,
// filmstrip): it takes the pane's size and draws its background only.
#pragma once

#include <QWidget>

class PanePlaceholder final : public QWidget {
  Q_OBJECT

 public:
  // `ideal` is the size the pane takes when its layout is first built.
  PanePlaceholder(const QString& name, QSize ideal, QWidget* parent = nullptr);
  QSize sizeHint() const override { return ideal_; }

 private:
  QSize ideal_;
};
