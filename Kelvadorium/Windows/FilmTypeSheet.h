// The question asked when new scans without stored settings arrive: which film they are. The
// three answers (keys 1, 2 and 3) apply to the asked scans; the checkbox stops later questions.
// The window cannot close it: it goes when an answer has cleared the model's question.
#pragma once

#include <array>

#include "Windows/ModelSheet.h"

struct ModelCalls;
class AppModel;
class QCheckBox;
class QLabel;
class QToolButton;

class FilmTypeSheet final : public ModelSheet {
  Q_OBJECT

 public:
  FilmTypeSheet(AppModel& model, const ModelCalls& calls, QWidget* parent);

  // "2 new scans. You can still change the type per image later."
  static QString message(size_t count);

  QLabel* messageLabel() const { return message_; }
  // In the order B&W negative, colour negative, positive / slide.
  const std::array<QToolButton*, 3>& answerButtons() const { return answers_; }
  QCheckBox* askCheckBox() const { return ask_; }

 private:
  void refresh();

  AppModel& model_;
  QLabel* message_;
  std::array<QToolButton*, 3> answers_{};
  QCheckBox* ask_;
};
