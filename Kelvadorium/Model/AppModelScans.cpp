// Adding, removing and clearing scans, and the save prompt before the session is dropped.
#include <QPointer>
#include <algorithm>
#include <array>
#include <string>
#include <unordered_set>

#include "Conversion/Decoder.h"
#include "Export/FolderEdits.h"
#include "Export/SettingsSidecar.h"
#include "Model/AppModel.h"
#include "Model/FileManagerOrder.h"
#include "Model/ScanCandidates.h"

namespace fs = std::filesystem;

namespace {

// The stored record of a scan; a sidecar that cannot be read counts as none.
std::optional<ConversionSettings> storedRecord(const fs::path& url) {
  try {
    return SettingsSidecar::load(url);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

QCoro::Task<> AppModel::showAddPanel() {
  DialogService::OpenPanel panel;
  panel.title = QStringLiteral("Choose scans or a folder of scans");
  panel.prompt = QStringLiteral("Add");
  panel.files = true;
  panel.folders = true;
  panel.multiple = true;
  for (const std::string& extension : Decoder::supportedExtensions()) {
    panel.extensions.append(QString::fromStdString(extension));
  }
  const QPointer<AppModel> self(this);
  const std::vector<fs::path> chosen = co_await dialogs().openPanel(panel);
  if (!self || chosen.empty()) co_return;
  addScans(chosen);
}

void AppModel::addScans(const std::vector<fs::path>& urls) {
  if (urls.empty()) return;
  std::vector<fs::path> candidates = ScanCandidates::collect(urls);
  std::unordered_set<std::string> held;
  held.reserve(items_.size());
  for (const ImageItem& item : items_) held.insert(item.url.native());
  std::erase_if(candidates, [&](const fs::path& url) { return held.contains(url.native()); });
  FileManagerOrder::sort(candidates);
  if (candidates.empty()) {
    setNotice(QStringLiteral("No new scans found (RAW, TIFF or JPEG)."));
    return;
  }
  // Records still kept in per-image sidecars move into the folder file before any is read.
  if (saveSidecars()) {
    try {
      FolderEdits::migrateSidecars(candidates);
    } catch (const std::exception&) {
    }
  }
  const FilmMode mode = defaultMode();
  const ScannerLook look = defaultLook();
  std::vector<ImageItem> items = items_;
  items.reserve(items.size() + candidates.size());
  std::vector<Uuid> unrecorded;
  for (fs::path& url : candidates) {
    ImageItem item;
    if (auto stored = storedRecord(url)) {
      item.settings = std::move(*stored);
    } else {
      item.settings.mode = mode;
      item.settings.look = look;
      unrecorded.push_back(item.id);
    }
    item.url = std::move(url);
    plain_.thumbQueue.push_back(item.id);
    items.push_back(std::move(item));
  }
  setItems(std::move(items));
  if (askFilmType() && !unrecorded.empty()) setFilmTypeQuestion(std::move(unrecorded));
  if (!selection_) setSelection(items_.front().id);
  setHasUnsavedChanges(true);
  startThumbnails();
}

void AppModel::answerFilmType(FilmMode mode) {
  if (!filmTypeQuestion_) return;
  const std::vector<Uuid> asked = *filmTypeQuestion_;
  setFilmTypeQuestion(std::nullopt);
  setDefaultMode(mode);
  const std::set<Uuid> covered(asked.begin(), asked.end());
  // Scans that already carry the answer are left alone; no undo step for the answer.
  for (size_t i = 0; i < items_.size(); ++i) {
    if (!covered.contains(items_[i].id) || items_[i].settings.mode == mode) continue;
    items_[i].settings.mode = mode;
    emit itemsChanged();
    settingsChanged(i);
  }
}

void AppModel::removeItems(const std::vector<Uuid>& ids) {
  const std::set<Uuid> gone(ids.begin(), ids.end());
  const auto isGone = [&](const ImageItem& item) { return gone.contains(item.id); };
  const auto first = std::find_if(items_.begin(), items_.end(), isGone);
  if (first == items_.end()) return;
  // A save still waiting finds no scan once it is gone: write the last edits now.
  flushSidecarSaves();
  const auto position = static_cast<size_t>(first - items_.begin());
  std::vector<fs::path> urls;
  std::vector<ImageItem> kept;
  kept.reserve(items_.size());
  for (const ImageItem& item : items_) {
    if (isGone(item)) {
      urls.push_back(item.url);
    } else {
      kept.push_back(item);
    }
  }
  const bool selectedGone = selection_ && gone.contains(*selection_);
  setItems(std::move(kept));
  std::set<Uuid> marked = marked_;
  for (const Uuid& id : gone) marked.erase(id);
  setMarked(std::move(marked));
  setHasUnsavedChanges(true);
  if (selectedGone) {
    if (items_.empty()) {
      setSelection(std::nullopt);
    } else {
      setSelection(items_[std::min(position, items_.size() - 1)].id);
    }
  }
  forgetOnRenderers(std::move(urls));
}

void AppModel::forgetOnRenderers(std::vector<fs::path> urls) {
  TaskHandle::start([this, urls = std::move(urls)](std::stop_token) -> QCoro::Task<> {
    // Named: GCC 12 mishandles temporaries holding arrays in a coroutine.
    const std::array<Renderer*, 3> renderers{previewRenderer_.get(), lightRenderer_.get(),
                                             thumbRenderer_.get()};
    for (const fs::path& url : urls) {
      for (Renderer* renderer : renderers) {
        const RenderResult<Done> done = co_await renderer->invalidate(url);
        // Only a renderer going away with its model answers "stopped".
        if (done.stopped()) co_return;
      }
    }
  });
}

QCoro::Task<bool> AppModel::confirmSaveBeforeClosing() {
  if (!hasUnsavedChanges_) co_return true;
  if (items_.empty()) co_return true;
  DialogService::Alert alert;
  alert.title = projectURL_ ? QStringLiteral("Save changes to \u201C") + projectName() +
                                  QStringLiteral("\u201D?")
                            : QStringLiteral("Save these scans as a project?");
  alert.text = QStringLiteral(
      "Settings are also kept next to each scan, but a project remembers the whole session.");
  alert.buttons = {QStringLiteral("Save\u2026"), QStringLiteral("Don\u2019t Save"),
                   QStringLiteral("Cancel")};
  const QPointer<AppModel> self(this);
  const int answer = co_await dialogs().alert(alert);
  if (!self) co_return false;
  if (answer == 0) {
    if (projectURL_) co_return saveProject(*projectURL_);
    co_await saveProjectAs();
    // Saved exactly when the save cleared the flag; a cancelled panel or a failure did not.
    co_return self && !hasUnsavedChanges_;
  }
  co_return answer == 1;
}

void AppModel::closeSession() {
  flushSidecarSaves();
  setProjectURL(std::nullopt);
  setHasUnsavedChanges(false);
  if (plain_.exportTask) plain_.exportTask.cancel();
  setItems({});
  setSelection(std::nullopt);
  setPreview(nullptr);
  setAnalysis(std::nullopt);
  plain_.thumbQueue.clear();
  // Marks, the range anchor and a question about scans that are gone would leave commands for
  // several scans acting on nothing while a new scan is selected.
  setMarked({});
  plain_.rangeAnchor.reset();
  setFilmTypeQuestion(std::nullopt);
  TaskHandle::start([this](std::stop_token) -> QCoro::Task<> {
    const std::array<Renderer*, 3> renderers{previewRenderer_.get(), lightRenderer_.get(),
                                             thumbRenderer_.get()};
    for (Renderer* renderer : renderers) {
      const RenderResult<Done> done = co_await renderer->clear();
      if (done.stopped()) co_return;
    }
  });
}
