// The dashed outline over the whole preview pane while files are dragged over the window: a
// rounded rectangle 12 points inside the pane's edges in the accent colour. It takes no pointer
// input, so the drop itself goes to the window.
#pragma once

#include <QWidget>

class DropHighlight final : public QWidget {
  Q_OBJECT

 public:
  explicit DropHighlight(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
