// The tone-curve editor's square graph: the curve of the editor's channel over the preview's
// histogram, with a handle per point. A press grabs or adds a point and dragging moves it, every
// event storing the curve; a double-click removes an interior point at its release. The curve is
// read from the model at every event, and a drag whose scan, channel or curve changed under it
// (undo, a new selection) ends without a further edit.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>

#include "Inspector/CurveGestures.h"
#include "Model/CurveEditorState.h"
#include "Support/Uuid.h"

class AppModel;

class ToneCurveGraph final : public QWidget {
  Q_OBJECT

 public:
  ToneCurveGraph(AppModel& model, std::function<CurveEditorState()> editor,
                 QWidget* parent = nullptr);

  // The selected scan's curve of the editor's channel as the graph uses it; the identity curve
  // without a selection.
  CurveGestures::Points points() const;
  std::optional<size_t> dragIndex() const { return dragIndex_; }
  // The square the curve is drawn in (the handles overhang it), and a normalised point in it.
  QRectF plot() const;
  QPointF position(CurveGestures::Point point) const;

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override { return width; }
  QSize sizeHint() const override { return {260, 260}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  CurveGestures::Location local(const QPointF& widgetPosition) const;
  void begin(const QPointF& widgetPosition);
  void change(const QPointF& widgetPosition);
  void end();
  const QImage& backdropImage(int channel, QSizeF plotSize);

  AppModel& model_;
  std::function<CurveEditorState()> editor_;

  // The drag under way: where it began, on which scan and channel, and the list it stored last.
  bool dragging_ = false;
  CurveGestures::Location start_;
  std::optional<Uuid> scan_;
  int channel_ = 0;
  std::optional<CurveGestures::Points> stored_;
  std::optional<size_t> dragIndex_;
  // A double-click's position, acted on at its release.
  std::optional<CurveGestures::Location> tap_;
  // The histogram backdrop as last drawn, for this channel at the plot's size.
  QImage backdrop_;
  int backdropChannel_ = 0;
};
