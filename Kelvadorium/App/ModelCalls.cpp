#include "App/ModelCalls.h"

#include "Model/AppModel.h"

ModelCalls ModelCalls::of(AppModel& model) {
  AppModel* m = &model;
  ModelCalls calls;
  calls.addScans = [m](std::vector<std::filesystem::path> urls) { m->addScans(urls); };
  calls.openProject = [m](std::filesystem::path url) {
    TaskHandle::start([m, url](std::stop_token) { return m->openProject(url); });
  };
  calls.showAddPanel = [m] {
    TaskHandle::start([m](std::stop_token) { return m->showAddPanel(); });
  };
  calls.moveSelection = [m](int step) { m->moveSelection(step); };
  calls.exportSelected = [m] { m->exportSelected(); };
  calls.exportMarked = [m] { m->exportMarked(); };
  calls.exportAll = [m] { m->exportAll(); };
  calls.toggleBeforeAfter = [m] { m->toggleCompareBefore(); };
  calls.toggleSplitView = [m] { m->toggleCompareSplit(); };
  calls.answerFilmType = [m](FilmMode mode) { m->answerFilmType(mode); };
  calls.confirmSaveBeforeClosing = [m] { return m->confirmSaveBeforeClosing(); };
  calls.flushSidecarSaves = [m] { m->flushSidecarSaves(); };
  calls.preview = PreviewCalls::of(model);
  return calls;
}
