// Export orchestration: the entry points, the options sheet's answer, the folder and the
// question about files already there, and the export job on its own worker thread.
#include <QFile>
#include <nlohmann/json.hpp>
#include <set>

#include "Driver/ExportScan.h"
#include "Model/AppModel.h"
#include "Model/ExportMessages.h"
#include "Model/ExportWorker.h"
#include "Model/ProjectMessages.h"

namespace {

QString fileName(const std::filesystem::path& path) { return ProjectMessages::displayName(path); }

}  // namespace

void AppModel::exportSelected() {
  // Counted even when nothing is selected: the command was used.
  telemetry().record("export.one");
  const auto index = selectedIndex();
  if (!index) return;
  setExportRequest(std::vector<ImageItem>{items_[*index]});
}

void AppModel::exportAll() {
  telemetry().record("export.all");
  std::vector<ImageItem> targets;
  for (const ImageItem& item : items_) {
    if (!item.skipped) targets.push_back(item);
  }
  setExportRequest(std::move(targets));
}

void AppModel::exportItems(const std::vector<Uuid>& ids) {
  const std::set<Uuid> wanted(ids.begin(), ids.end());
  std::vector<ImageItem> targets;
  for (const ImageItem& item : items_) {
    if (wanted.contains(item.id)) targets.push_back(item);
  }
  if (targets.empty()) return;
  telemetry().record(targets.size() == 1 ? "export.one" : "export.selected");
  setExportRequest(std::move(targets));
}

void AppModel::exportMarked() {
  std::vector<ImageItem> targets;
  for (const ImageItem& item : items_) {
    if (marked_.contains(item.id)) targets.push_back(item);
  }
  setExportRequest(std::move(targets));
}

QCoro::Task<> AppModel::confirmExport(std::vector<ImageItem> targets, ExportOptions options) {
  setExportRequest(std::nullopt);
  // Options that do not encode store nothing: the defaults come back next time. Storing them
  // announces the change to observers of the preferences.
  QByteArray data;
  try {
    data = QByteArray::fromStdString(toJSON(options).dump());
  } catch (const std::exception&) {
  }
  setExportOptionsData(data);
  co_await chooseExportFolder(std::move(targets), std::move(options));
}

QCoro::Task<> AppModel::chooseExportFolder(std::vector<ImageItem> targets, ExportOptions options) {
  if (targets.empty() || exportProgress_ || options.formats.empty()) co_return;
  DialogService::FolderPanel panel;
  panel.title = ExportMessages::folderPanel(targets.size());
  panel.prompt = "Export Here";
  panel.directory = lastExportPath();
  QPointer<AppModel> self(this);
  const std::optional<std::filesystem::path> chosen =
      co_await dialogs().folderPanel(std::move(panel));
  if (!self || !chosen) co_return;
  std::filesystem::path folder = chosen->lexically_normal();
  // "/x/Prints/" names the folder "Prints" too.
  if (!folder.has_filename() && folder != folder.root_path()) folder = folder.parent_path();
  // Remembered before the question, so a cancelled question keeps the folder.
  setLastExportPath(folder);

  // Files, not scans: two formats of one scan are two files; a file two scans would write is one.
  std::set<std::filesystem::path> existing;
  for (const ImageItem& target : targets) {
    for (auto& output :
         Converter::outputURLs(target.url, options.formats, folder, options.suffix)) {
      std::error_code error;
      if (std::filesystem::exists(output, error)) existing.insert(std::move(output));
    }
  }
  bool replace = false;
  if (!existing.empty()) {
    DialogService::Alert alert;
    alert.title = ExportMessages::existingFiles(existing.size(), fileName(folder));
    alert.text = "Replace them, or only export the images that are not there yet?";
    alert.buttons = {"Skip Existing", "Replace", "Cancel"};
    const int answer = co_await dialogs().alert(std::move(alert));
    if (!self || answer == 2) co_return;
    // Another export may have started while the question was open.
    if (exportProgress_) co_return;
    replace = answer == 1;
  }

  setExportProgress(
      ExportProgress{0, static_cast<int>(targets.size()), fileName(targets.front().url)});
  plain_.exportTask = TaskHandle::start(
      [this, targets = std::move(targets), options = std::move(options), folder, replace](
          std::stop_token stop) { return exportJob(targets, options, folder, replace, stop); });
}

QCoro::Task<> AppModel::exportJob(std::vector<ImageItem> targets, ExportOptions options,
                                  std::filesystem::path folder, bool replace,
                                  std::stop_token stop) {
  QPointer<AppModel> self(this);
  ExportWorker worker;
  size_t written = 0;
  QStringList failed;
  // Every file an earlier scan of this export wrote or was to write: a later scan of the same
  // name never writes over it.
  std::set<std::filesystem::path> claimed;
  const int total = static_cast<int>(targets.size());
  for (int i = 0; i < total; ++i) {
    if (stop.stop_requested()) break;
    const ImageItem& target = targets[static_cast<size_t>(i)];
    setExportProgress(ExportProgress{i, total, fileName(target.url)});

    const auto outputs = Converter::outputURLs(target.url, options.formats, folder, options.suffix);
    const bool collides = std::any_of(outputs.begin(), outputs.end(),
                                      [&](const auto& output) { return claimed.contains(output); });
    claimed.insert(outputs.begin(), outputs.end());
    if (collides) {
      failed.append(fileName(target.url));
      continue;
    }

    // A proxy decoded only for the export leaves the preview renderer again: the export keeps
    // the preview's recent proxies and holds one scan's proxy at a time, not four.
    auto analysisCall = previewRenderer().perform(
        [url = target.url, settings = target.settings](RenderCache& cache) {
          const int64_t decodes = cache.counts().decodes;
          FilmAnalysis measured = cache.analysis(url, settings);
          if (cache.counts().decodes != decodes) cache.invalidate(url);
          return measured;
        });
    RenderResult<FilmAnalysis> analysis = co_await std::move(analysisCall);
    // A stopped renderer means the model is going away.
    if (analysis.stopped() || !self) co_return;
    if (!analysis.ok()) {
      failed.append(fileName(target.url));
      continue;
    }
    auto writeCall =
        worker.run([&target, &options, &folder, replace, measured = std::move(analysis.value())] {
          return Converter::exportScan(target.url, target.settings, measured, options.formats,
                                       folder, replace, options);
        });
    ExportWorker::Outcome outcome = co_await std::move(writeCall);
    if (!self) co_return;
    if (outcome.error) {
      failed.append(fileName(target.url));
    } else {
      written += outcome.written.size();
    }
  }

  const bool cancelled = stop.stop_requested();
  setExportProgress(std::nullopt);
  plain_.exportTask = TaskHandle();
  setNotice(ExportMessages::summary(cancelled, written, fileName(folder), failed));
  if (!cancelled && written > 0) workspace().reveal(folder);
}
