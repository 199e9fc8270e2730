// Panels and alerts that answer from a script: each kind takes its answers in order and records
// what was asked. With no answer left, panels answer "cancelled" and alerts their last button.
#pragma once

#include <deque>
#include <vector>

#include "Services/DialogService.h"

class ScriptedDialogs final : public DialogService {
 public:
  std::deque<std::vector<std::filesystem::path>> openAnswers;
  std::deque<std::optional<std::filesystem::path>> folderAnswers;
  std::deque<std::optional<std::filesystem::path>> saveAnswers;
  std::deque<int> alertAnswers;

  std::vector<OpenPanel> openAsked;
  std::vector<FolderPanel> folderAsked;
  std::vector<SavePanel> saveAsked;
  std::vector<Alert> alertsAsked;

  QCoro::Task<std::vector<std::filesystem::path>> openPanel(OpenPanel panel) override;
  QCoro::Task<std::optional<std::filesystem::path>> folderPanel(FolderPanel panel) override;
  QCoro::Task<std::optional<std::filesystem::path>> savePanel(SavePanel panel) override;
  QCoro::Task<int> alert(Alert alert) override;
};
