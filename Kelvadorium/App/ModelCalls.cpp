#include "App/ModelCalls.h"

#include "Model/AppModel.h"

ModelCalls ModelCalls::of(AppModel& model) {
  AppModel* m = &model;
  ModelCalls calls;
  // Operations still being built in their own roles answer nothing until they arrive.
  calls.addScans = [](std::vector<std::filesystem::path>) {};
  calls.openProject = [m](std::filesystem::path url) {
    TaskHandle::start([m, url](std::stop_token) { return m->openProject(url); });
  };
  calls.showAddPanel = [] {};
  calls.moveSelection = [m](int step) { m->moveSelection(step); };
  calls.exportSelected = [m] { m->exportSelected(); };
  calls.exportMarked = [m] { m->exportMarked(); };
  calls.exportAll = [m] { m->exportAll(); };
  calls.toggleBeforeAfter = [] {};
  calls.toggleSplitView = [] {};
  calls.answerFilmType = [](FilmMode) {};
  calls.confirmSaveBeforeClosing = [m] { return m->confirmSaveBeforeClosing(); };
  calls.flushSidecarSaves = [m] { m->flushSidecarSaves(); };
  return calls;
}
