// The strip of thumbnails under the preview in the filmstrip layout: one row of cells sized from
// the strip's height on a dark ground, with the sidebar's clicks, menu and rubber band, keeping
// the selected scan centred. While it is laid out the browsing keys step one scan at a time.
#pragma once

#include <QWidget>

class AppModel;
class QLabel;
class QStackedWidget;
class ThumbnailScroller;

class FilmstripView final : public QWidget {
  Q_OBJECT

 public:
  explicit FilmstripView(AppModel& model, QWidget* parent = nullptr);

  // The height the main window gives the strip at first.
  static constexpr int idealHeight = 132;
  QSize sizeHint() const override { return {400, idealHeight}; }

  ThumbnailScroller* strip() const { return strip_; }
  QLabel* emptyText() const { return empty_; }

 private:
  void refresh();

  AppModel& model_;
  QStackedWidget* stack_;
  QLabel* empty_;
  ThumbnailScroller* strip_;
};
