// The scan column of the main window: the thumbnail grid with its count line under it, or, with
// no scans, the film symbol over "No scans yet". It tells the model how many cells fit in a row
// (from the width the grid is laid out in), so the up and down keys move one row.
#pragma once

#include <QWidget>

class AppModel;
class QLabel;
class QStackedWidget;
class ThumbnailScroller;

class ThumbnailSidebar final : public QWidget {
  Q_OBJECT

 public:
  explicit ThumbnailSidebar(AppModel& model, QWidget* parent = nullptr);

  // The width the main window gives the column at first.
  static constexpr int idealWidth = 220;
  QSize sizeHint() const override { return {idealWidth, 400}; }

  ThumbnailScroller* grid() const { return grid_; }
  QLabel* countLine() const { return count_; }
  QWidget* emptyState() const { return empty_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void refresh();
  void storeColumns();

  AppModel& model_;
  QStackedWidget* stack_;
  QWidget* empty_;
  ThumbnailScroller* grid_;
  QLabel* count_;
  double storedWidth_ = -1;
};
