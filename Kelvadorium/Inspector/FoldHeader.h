// The clickable header of a foldable section: a chevron that points right while folded and down
// while open, then the title; the whole row takes the click, which flips the bound open flag.
// The chevron turns in an animation; the flag, the tooltip and what the section shows change
// at once.
#pragma once

#include <QAbstractButton>
#include <QVariantAnimation>

#include "ViewKit/Binding.h"

class FoldHeader final : public QAbstractButton {
  Q_OBJECT

 public:
  FoldHeader(const QString& title, Binding<bool> expanded, QWidget* parent = nullptr);

  QString title() const { return text(); }
  // Shows the flag as the owner read it: the chevron's turn and the tooltip.
  void showExpanded(bool expanded);
  bool shownExpanded() const { return expanded_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Binding<bool> binding_;
  bool expanded_ = false;
  bool shownOnce_ = false;
  double angle_ = 0;  // degrees the chevron is drawn turned by
  QVariantAnimation turn_;
};
