// The film-look and scanner rows of the Film section: a label, and a button naming the scan's
// choice that opens a list of the choices. While the pointer rests on an entry the preview shows
// that look through the model's hovered look, leaving the record alone; a click applies the
// entry as one edit and closes the list. Every way out of the list (a click, a click outside,
// the button again, the row hidden or destroyed) clears the hovered look.
#pragma once

#include <QFrame>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Inspector/InspectorRow.h"
#include "Model/HoverTracker.h"

class AppModel;
class QLabel;
class QToolButton;
class LookEntry;

class LookPicker final : public InspectorRow {
  Q_OBJECT

 public:
  // One line of the list: a choice, or a group's header (no choice).
  struct Line {
    QString title;
    bool header = false;
  };
  // What sets one picker apart from the other; choices are told apart by their line's index.
  struct Kind {
    QString label;
    std::vector<Line> lines;
    int width = 200;
    std::optional<int> height;            // scrolling at this height; none: the content's height
    int entryInset = 4;                   // above and below each entry
    std::function<int()> current;         // the line of the scan's choice; -1: none
    std::function<QString()> buttonText;  // the choice's name
    std::function<void(std::optional<int>)> show;  // the model's hovered look
    std::function<void(int)> commit;               // the one edit of the record
  };

  static LookPicker* filmLook(AppModel& model);
  static LookPicker* scanner(AppModel& model);

  explicit LookPicker(Kind kind, QWidget* parent = nullptr);
  ~LookPicker() override;

  QToolButton* button() const { return button_; }
  // Null while the list is closed.
  QFrame* list() const { return list_; }
  std::vector<LookEntry*> entries() const { return entries_; }
  bool isOpen() const { return list_ != nullptr && list_->isVisible(); }
  void open();
  void close();
  // The line shown hovered; none when none is.
  std::optional<int> hovered() const { return shown_; }

 protected:
  void refreshValues() override;
  void hideEvent(QHideEvent* event) override;

 private:
  friend class LookEntry;
  void entered(int line);
  void left(int line);
  void chosen(int line);
  void listGone();
  void showHover(std::optional<int> line);

  Kind kind_;
  QLabel* label_;
  QToolButton* button_;
  QFrame* list_ = nullptr;
  std::vector<LookEntry*> entries_;
  HoverTracker<int> tracker_;
  std::optional<int> shown_;
};

// One choice of the list; its whole rectangle takes the pointer and the click.
class LookEntry final : public QWidget {
  Q_OBJECT

 public:
  LookEntry(LookPicker& picker, int line, const QString& title, bool current, int inset,
            QWidget* parent);
  int line() const { return line_; }
  QString title() const { return title_; }
  bool isCurrent() const { return current_; }
  QSize sizeHint() const override;

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  LookPicker& picker_;
  int line_;
  QString title_;
  bool current_;
  int inset_;
};
