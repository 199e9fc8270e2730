// One line of text shortened in the middle when the space is too narrow, the whole text kept
// for the layout's minimum of a few characters.
#pragma once

#include <QLabel>

class ElidedLabel final : public QLabel {
  Q_OBJECT

 public:
  explicit ElidedLabel(QWidget* parent = nullptr);
  void setFullText(const QString& text);
  QString fullText() const { return full_; }
  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void elide();
  QString full_;
};
