// The tool bar or note at the bottom of the preview, one at a time: the row of the active
// tool's symbol, text and buttons on a translucent capsule. Its texts are built fresh from the
// model at every refresh; its buttons call the model or write a mode flag, whose observer does
// the rest. Return and Escape reach the confirming and backing-out buttons through the pane.
#pragma once

#include <QWidget>

#include "Preview/PreviewLayers.h"

class AppModel;
class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QPushButton;
struct PreviewCalls;

class PreviewToolBar final : public QWidget {
  Q_OBJECT

 public:
  PreviewToolBar(AppModel& model, const PreviewCalls& calls, QWidget* parent = nullptr);

  // Takes up the bar of that kind with the model's current values; hidden for none.
  void refresh(BarKind kind);
  BarKind kind() const { return kind_; }

  // The size the bar takes in a pane that leaves it `maxWidth` across: long texts wrap.
  QSize sizeWithin(int maxWidth);

  // The buttons of the keys: Return's confirming button and Escape's backing-out button; null
  // when the bar shown has none.
  QAbstractButton* confirmButton() const { return confirm_; }
  QAbstractButton* backButton() const { return back_; }
  // The bar's main text; empty for the crop bar.
  QString text() const;
  QString angleText() const;
  QString symbol() const { return symbol_; }
  QPushButton* deleteButton() const { return delete_; }

  // The crop bar's finishing action: the rotation still being dragged is committed first.
  void finishCrop();

  // The rounded capsule the preview's bars float on: the translucent window colour stands for
  // the frosted material, `opacity` its thickness.
  static void paintCapsule(QWidget& bar, float opacity);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // What decides the items of the row: the kind, and for healing whether repairs are selected.
  struct Shape {
    BarKind kind = BarKind::none;
    bool selecting = false;
    bool operator==(const Shape&) const = default;
  };
  void build(Shape shape);
  void buildCrop();
  void updateTexts();

  QLabel* addSymbol(const QString& name, bool secondary = false);
  QLabel* addText();
  QPushButton* addButton(const QString& title, const QString& symbol, const QString& tooltip,
                         bool prominent);
  void addSeparator();

  AppModel& model_;
  const PreviewCalls& calls_;
  QHBoxLayout* row_;
  BarKind kind_ = BarKind::none;
  Shape shape_;
  QString symbol_;
  QLabel* symbolLabel_ = nullptr;
  QLabel* text_ = nullptr;
  QLabel* angle_ = nullptr;
  QWidget* slider_ = nullptr;  // the crop bar's straighten slider, the one item that narrows
  QPushButton* delete_ = nullptr;
  QAbstractButton* confirm_ = nullptr;
  QAbstractButton* back_ = nullptr;
};
