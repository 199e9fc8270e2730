// A titled section of the inspector that folds. Its open flag lives only in the preferences under
// "fold." + title (a stored value that is not a Boolean reads as the section's default); the
// section follows every write of that key at once, whoever writes it (its header, the menu's
// Fold All). The content exists only while the section is open: it is made when the section
// unfolds and destroyed when it folds, so view state inside it starts afresh.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

class FoldHeader;
class InspectorRow;
class Preferences;
class QFrame;
class QVBoxLayout;

class FoldSection final : public QWidget {
  Q_OBJECT

 public:
  // Makes the content; none for a section whose controls come later (an empty body).
  using Content = std::function<QWidget*()>;

  FoldSection(const QString& title, Preferences& preferences, bool openByDefault, Content content,
              QWidget* parent = nullptr);

  static QString key(const QString& title) { return "fold." + title; }
  QString title() const { return title_; }
  bool expanded() const;
  FoldHeader* header() const { return header_; }
  // Null while folded.
  QWidget* content() const { return content_; }
  // Reads the model into the content's rows.
  void refresh();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void apply();

  QString title_;
  Preferences& preferences_;
  bool openByDefault_;
  Content makeContent_;
  FoldHeader* header_;
  QFrame* body_;
  QVBoxLayout* bodyLayout_;
  QWidget* content_ = nullptr;
  std::vector<InspectorRow*> rows_;
};
