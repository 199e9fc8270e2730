// The preview column of the main window: layers over a dark background, back to front: the
// empty drop state while there are no scans, the picture of the selected scan, the progress badge
// while a render runs, the loupe bar in its corner, the tool bar or note of the active tool, and
// the dashed highlight while files are dragged over the window. It owns no document state: it
// follows the model's published fields, and Return and Escape press the buttons of the bar shown
// unless a text field has the keyboard.
#pragma once

#include <QWidget>

#include "Preview/PreviewLayers.h"

class AppModel;
class DropHighlight;
class EmptyDropState;
class LoupeBar;
class ProgressBadge;
class PreviewToolBar;
class ZoomablePreview;
struct PreviewCalls;

class PreviewPane final : public QWidget {
  Q_OBJECT

 public:
  PreviewPane(AppModel& model, const PreviewCalls& calls, QWidget* parent = nullptr);
  ~PreviewPane() override;

  QSize sizeHint() const override { return {360, 300}; }

  void setDropTargeted(bool targeted);
  bool dropTargeted() const { return dropTargeted_; }

  ZoomablePreview* picture() const { return picture_; }
  PreviewToolBar* toolBar() const { return bar_; }
  ProgressBadge* badge() const { return badge_; }
  // The loupe bar's place in the bottom-right corner.
  QWidget* loupeCorner() const { return loupeCorner_; }
  LoupeBar* loupeBar() const { return loupe_; }
  // Shown in place of the picture while the session holds no scans.
  EmptyDropState* emptyState() const { return empty_; }
  DropHighlight* dropHighlight() const { return highlight_; }

  // The background: an opaque grey of white level 0.13.
  static QColor background();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void refresh();
  void place();
  // Return or Escape on the window: the bar's button, when one is shown and may be pressed.
  bool pressBarKey(int key);

  AppModel& model_;
  const PreviewCalls& calls_;
  bool dropTargeted_ = false;
  PreviewFlags flags_;
  EmptyDropState* empty_;
  ZoomablePreview* picture_;
  LoupeBar* loupe_;
  ProgressBadge* badge_;
  QWidget* loupeCorner_;
  PreviewToolBar* bar_;
  DropHighlight* highlight_;
};
