// The preview's progress badge in the top-right corner while a render runs: a spinner, with the
// text "Rendering full resolution…" beside it only while the 1:1 detail render alone runs.
#pragma once

#include <QWidget>

class QLabel;
class Spinner;

class ProgressBadge final : public QWidget {
  Q_OBJECT

 public:
  explicit ProgressBadge(QWidget* parent = nullptr);

  // Shows the text, or the spinner alone for an empty text.
  void setText(const QString& text);
  QString text() const;

 private:
  QLabel* label_;
  Spinner* spinner_;
};
