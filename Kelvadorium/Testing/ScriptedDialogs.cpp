#include "Testing/ScriptedDialogs.h"

namespace {

template <class T>
T next(std::deque<T>& answers, T fallback) {
  if (answers.empty()) return fallback;
  T answer = std::move(answers.front());
  answers.pop_front();
  return answer;
}

}  // namespace

QCoro::Task<std::vector<std::filesystem::path>> ScriptedDialogs::openPanel(OpenPanel panel) {
  openAsked.push_back(std::move(panel));
  co_return next(openAnswers, {});
}

QCoro::Task<std::optional<std::filesystem::path>> ScriptedDialogs::folderPanel(FolderPanel panel) {
  folderAsked.push_back(std::move(panel));
  co_return next(folderAnswers, {});
}

QCoro::Task<std::optional<std::filesystem::path>> ScriptedDialogs::savePanel(SavePanel panel) {
  saveAsked.push_back(std::move(panel));
  co_return next(saveAnswers, {});
}

QCoro::Task<int> ScriptedDialogs::alert(Alert alert) {
  const int last = static_cast<int>(alert.buttons.size()) - 1;
  alertsAsked.push_back(std::move(alert));
  co_return next(alertAnswers, last);
}
