#include "App/ModelCalls.h"

#include "Model/AppModel.h"

ModelCalls ModelCalls::of(AppModel& model) {
  AppModel* m = &model;
  ModelCalls calls;
  // Operations still being built in their own roles answer nothing until they arrive.
  calls.addScans = [](std::vector<std::filesystem::path>) {};
  calls.openProject = [](std::filesystem::path) {};
  calls.showAddPanel = [] {};
  calls.moveSelection = [m](int step) { m->moveSelection(step); };
  calls.exportSelected = [] {};
  calls.exportMarked = [] {};
  calls.exportAll = [] {};
  calls.toggleBeforeAfter = [] {};
  calls.toggleSplitView = [] {};
  calls.answerFilmType = [](FilmMode) {};
  calls.confirmSaveBeforeClosing = [m] { return m->confirmSaveBeforeClosing(); };
  calls.flushSidecarSaves = [m] { m->flushSidecarSaves(); };
  return calls;
}
