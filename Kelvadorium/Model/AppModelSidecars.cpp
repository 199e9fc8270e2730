// Sidecar saving: each scan's record written beside it shortly after its last change.
#include <algorithm>

#include "Export/FolderEdits.h"
#include "Model/AppModel.h"

namespace {

// A burst of changes to one scan is one write, this long after its last change.
constexpr Clock::Duration saveDelay = seconds(0.4);

const char* const readOnlyNotice =
    "Edits can't be saved in the scans' folder (it is read-only). They are kept for this "
    "session; save a project to keep them.";

bool isPending(const TaskHandle& task) { return task && !task.isFinished() && !task.isCancelled(); }

}  // namespace

void AppModel::scheduleSidecarSave(const Uuid& id) {
  if (!saveSidecars()) return;
  const auto index = indexOf(id);
  if (!index) return;
  if (const auto old = plain_.sidecarTasks.find(id); old != plain_.sidecarTasks.end()) {
    old->second.cancel();
  }
  std::filesystem::path url = items_[*index].url;
  plain_.sidecarTasks[id] = TaskHandle::start(
      [this, id, url](std::stop_token stop) { return sidecarSaveJob(id, url, stop); });
}

QCoro::Task<> AppModel::sidecarSaveJob(Uuid id, std::filesystem::path url, std::stop_token stop) {
  co_await clock().sleep(saveDelay, stop);
  if (stop.stop_requested()) co_return;
  writeSidecar(id, url);
}

void AppModel::flushSidecarSaves() {
  for (const auto& [id, task] : plain_.sidecarTasks) {
    if (!isPending(task)) continue;
    task.cancel();
    if (const auto index = indexOf(id)) writeSidecar(id, items_[*index].url);
  }
}

void AppModel::writeSidecar(const Uuid& id, const std::filesystem::path& url) {
  const auto index = indexOf(id);
  if (!index) return;
  try {
    FolderEdits::setSettings(items_[*index].settings, url);
  } catch (const std::exception&) {
    // The record stays in the session and in projects; the user hears of it once per run.
    if (plain_.sidecarWarningShown) return;
    plain_.sidecarWarningShown = true;
    setNotice(QString::fromUtf8(readOnlyNotice));
  }
}
