#include "Preview/PreviewCalls.h"

#include "Model/AppModel.h"

PreviewCalls PreviewCalls::of(AppModel& model) {
  AppModel* m = &model;
  PreviewCalls calls;
  calls.rotateSelected = [m](int quarterTurns) { m->rotateSelected(quarterTurns); };
  calls.resetStraighten = [m] { m->resetStraighten(); };
  calls.cancelCrop = [m] { m->cancelCrop(); };
  calls.endLiveRotation = [m] { m->endLiveRotation(); };
  calls.cancelHealing = [m] { m->cancelHealing(); };
  calls.clearDustCandidates = [m] { m->clearDustCandidates(); };
  calls.removeDust = [m] { m->removeDust(); };
  calls.deleteSelectedRepair = [m] { m->deleteSelectedRepair(); };
  calls.pickWhiteBalance = [m](double x, double y) { m->pickWhiteBalance(x, y); };
  calls.dragSplitDivider = [m](double x, double width) { m->dragSplitDivider(x, width); };
  calls.setCropRect = [m](double x, double y, double w, double h) { m->setCropRect(x, y, w, h); };
  calls.setStraightenAngle = [m](double angle) { m->setStraightenAngle(angle); };
  calls.showAddPanel = [m] {
    TaskHandle::start([m](std::stop_token) { return m->showAddPanel(); });
  };
  return calls;
}
