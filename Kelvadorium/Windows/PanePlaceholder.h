// The place of a pane whose view comes with a later version of the window (scan browser,
// filmstrip, preview, adjustments): it takes the pane's size and draws its background only. The
// preview's place also draws the drop highlight while files are dragged over the window.
#pragma once

#include <QWidget>

class PanePlaceholder final : public QWidget {
  Q_OBJECT

 public:
  // `ideal` is the size the pane takes when its layout is first built.
  PanePlaceholder(const QString& name, QSize ideal, QWidget* parent = nullptr);
  QSize sizeHint() const override { return ideal_; }
  void setDropTargeted(bool targeted);
  bool dropTargeted() const { return dropTargeted_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QSize ideal_;
  bool dropTargeted_ = false;
};
