// The session operations that the start-up, the window and its sheets call, gathered in one
// table: the window never names an operation elsewhere, so a test can watch every call by
// replacing an entry, and an operation that arrives later is connected here alone.
#pragma once

#include <QCoro/QCoroTask>
#include <filesystem>
#include <functional>
#include <vector>

#include "Preview/PreviewCalls.h"
#include "Record/FilmMode.h"

class AppModel;

struct ModelCalls {
  std::function<void(std::vector<std::filesystem::path>)> addScans;
  std::function<void(std::filesystem::path)> openProject;
  std::function<void()> showAddPanel;
  std::function<void(int)> moveSelection;
  std::function<void()> exportSelected;
  std::function<void()> exportMarked;
  std::function<void()> exportAll;
  std::function<void()> toggleBeforeAfter;
  std::function<void()> toggleSplitView;
  std::function<void(FilmMode)> answerFilmType;
  // True when the session may be dropped.
  std::function<QCoro::Task<bool>()> confirmSaveBeforeClosing;
  // Writes the edits whose sidecar saves are still waiting.
  std::function<void()> flushSidecarSaves;
  // The preview pane's tool bars and overlays.
  PreviewCalls preview;

  // The calls as the model answers them.
  static ModelCalls of(AppModel& model);
};
