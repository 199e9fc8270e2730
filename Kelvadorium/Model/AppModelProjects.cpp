// Projects and the recent-projects list.
#include <QFile>
#include <algorithm>
#include <set>
#include <system_error>

#include "Model/AppModel.h"
#include "Model/ProjectMessages.h"
#include "Services/RecentDocuments.h"

namespace {

constexpr int recentLimit = 10;
const QString recentKey = "recentProjects";

// A file's identity: absolute and lexically normal, symbolic links not resolved.
std::filesystem::path standardized(const std::filesystem::path& path) {
  std::error_code error;
  const auto absolute = std::filesystem::absolute(path, error);
  return (error ? path : absolute).lexically_normal();
}

QString projectExtension() { return QString::fromLatin1(ProjectFile::fileExtension); }

std::filesystem::path dotExtension() {
  std::filesystem::path extension(".");
  extension += ProjectFile::fileExtension;
  return extension;
}

std::string systemDescription(const std::exception& error) {
  if (const auto* fileError = dynamic_cast<const std::filesystem::filesystem_error*>(&error)) {
    return fileError->code().message();
  }
  return error.what();
}

// One entry of the project with its place in it, so two entries naming one file keep their own
// places.
struct Placed {
  size_t index;
  const ProjectFile::Entry* entry;
  std::filesystem::path url;
};

}  // namespace

QString AppModel::projectName() const {
  if (!projectURL_) return {};
  return QFile::decodeName(QByteArray::fromStdString(projectURL_->stem().native()));
}

ProjectFile AppModel::projectForSaving(const std::filesystem::path& destination) const {
  std::vector<ProjectFile::Entry> entries;
  entries.reserve(items_.size() + plain_.leftOutEntries.size());
  std::set<std::string> inSession;
  for (const ImageItem& item : items_) {
    entries.emplace_back(item.url, item.settings, item.skipped, destination);
    inSession.insert(item.url.native());
  }
  // Scans not found when the project was opened go back unchanged; under a new name their
  // relative paths follow the new place. One whose scan is back in the session is written once.
  // They belong to the open project: once the session is closed they are no longer written.
  const bool samePlace = standardized(plain_.leftOutSource) == destination;
  for (const ProjectFile::Entry& entry : plain_.leftOutEntries) {
    if (!projectURL_ || inSession.contains(entry.absolutePath)) continue;
    if (samePlace) {
      entries.push_back(entry);
    } else {
      entries.emplace_back(std::filesystem::path(entry.absolutePath), entry.settings, entry.skipped,
                           destination);
    }
  }
  std::optional<int64_t> index;
  if (const auto selected = selectedIndex()) index = static_cast<int64_t>(*selected);
  return ProjectFile(std::move(entries), index);
}

bool AppModel::saveProject(const std::filesystem::path& url) {
  const std::filesystem::path destination = standardized(url);
  ProjectFile project = projectForSaving(destination);
  try {
    ProjectFile::write(project, destination);
  } catch (const std::exception& error) {
    setErrorMessage(ProjectMessages::saveFailed(QString::fromStdString(systemDescription(error))));
    return false;
  }
  // The scans left out now read as the file just written holds them.
  plain_.leftOutEntries.assign(
      std::make_move_iterator(project.images.begin() + static_cast<ptrdiff_t>(items_.size())),
      std::make_move_iterator(project.images.end()));
  plain_.leftOutSource = destination;
  setProjectURL(destination);
  setHasUnsavedChanges(false);
  workspace().noteRecentDocument(destination);
  addRecentProject(destination);
  return true;
}

QCoro::Task<> AppModel::saveProjectAs() {
  if (items_.empty()) co_return;
  QString name = projectName();
  if (name.isEmpty()) name = ProjectMessages::displayName(items_.front().url.parent_path());
  DialogService::SavePanel panel;
  panel.title =
      "Save the scans and their settings, to continue later or on another computer. Tip: save it "
      "in or next to the scan folder.";
  panel.nameFilter = "Kelvadorium project (*." + projectExtension() + ")";
  panel.extension = projectExtension();
  panel.suggestedName = name + "." + projectExtension();
  if (!projectURL_) panel.directory = items_.front().url.parent_path();
  QPointer<AppModel> self(this);
  std::optional<std::filesystem::path> chosen = co_await dialogs().savePanel(std::move(panel));
  if (!self || !chosen) co_return;
  if (!chosen->has_extension()) *chosen += dotExtension();
  saveProject(*chosen);
}

QCoro::Task<> AppModel::showOpenProjectPanel() {
  DialogService::OpenPanel panel;
  panel.title = "Open a Kelvadorium project";
  panel.prompt = "Open";
  panel.files = true;
  panel.folders = false;
  panel.multiple = false;
  panel.extensions = {projectExtension()};
  QPointer<AppModel> self(this);
  const std::vector<std::filesystem::path> chosen = co_await dialogs().openPanel(std::move(panel));
  if (!self || chosen.empty()) co_return;
  co_await openProject(chosen.front());
}

QCoro::Task<> AppModel::openProject(std::filesystem::path url) {
  QPointer<AppModel> self(this);
  const bool mayClose = co_await confirmSaveBeforeClosing();
  if (!self || !mayClose) co_return;

  url = standardized(url);
  ProjectFile project;
  try {
    project = ProjectFile::read(url);
  } catch (const std::exception&) {
    setErrorMessage(ProjectMessages::notAProject(url));
    co_return;
  }

  std::vector<Placed> found;
  std::vector<Placed> missing;
  for (size_t i = 0; i < project.images.size(); ++i) {
    const ProjectFile::Entry& entry = project.images[i];
    if (auto resolved = ProjectFile::Entry::resolve(entry, url)) {
      found.push_back({i, &entry, standardized(*resolved)});
    } else {
      missing.push_back({i, &entry, {}});
    }
  }

  if (!missing.empty()) {
    DialogService::Alert alert;
    alert.title = ProjectMessages::missingScans(missing.size(), project.images.size());
    alert.text =
        "They may have moved, or the drive is not connected. Choose the folder that holds them "
        "(subfolders are searched too).";
    alert.buttons = {"Locate Folder…", "Open Without Them", "Cancel"};
    const int answer = co_await dialogs().alert(std::move(alert));
    if (!self || answer == 2) co_return;
    if (answer == 0) {
      DialogService::FolderPanel panel;
      panel.title = "Choose the folder with the missing scans";
      panel.prompt = "Search Here";
      const std::optional<std::filesystem::path> folder =
          co_await dialogs().folderPanel(std::move(panel));
      if (!self) co_return;
      if (folder) {
        std::vector<ProjectFile::Entry> sought;
        for (const Placed& placed : missing) sought.push_back(*placed.entry);
        const auto located = ProjectFile::relink(sought, *folder);
        std::erase_if(missing, [&](Placed& placed) {
          const auto hit = located.find(placed.entry->absolutePath);
          if (hit == located.end()) return false;
          found.push_back({placed.index, placed.entry, standardized(hit->second)});
          return true;
        });
      }
    }
  }

  closeSession();
  std::sort(found.begin(), found.end(),
            [](const Placed& a, const Placed& b) { return a.index < b.index; });

  std::vector<ImageItem> items;
  items.reserve(found.size());
  bool moved = false;
  for (const Placed& placed : found) {
    ImageItem item;
    item.url = placed.url;
    item.settings = placed.entry->settings;
    item.skipped = placed.entry->skipped;
    plain_.thumbQueue.push_back(item.id);
    moved = moved || placed.url.native() != placed.entry->absolutePath;
    items.push_back(std::move(item));
  }
  plain_.leftOutEntries.clear();
  for (const Placed& placed : missing) plain_.leftOutEntries.push_back(*placed.entry);
  plain_.leftOutSource = url;
  setItems(std::move(items));
  setProjectURL(url);

  std::optional<Uuid> selected;
  if (!items_.empty()) {
    const auto index = project.selectedIndex;
    const bool within = index && *index >= 0 && *index < static_cast<int64_t>(items_.size());
    selected = items_[within ? static_cast<size_t>(*index) : 0].id;
  }
  setSelection(selected);
  setHasUnsavedChanges(moved);

  workspace().noteRecentDocument(url);
  addRecentProject(url);
  startThumbnails();

  if (!missing.empty()) {
    QStringList names;
    for (const Placed& placed : missing) {
      names.append(ProjectMessages::displayName(std::filesystem::path(placed.entry->absolutePath)));
    }
    setNotice(ProjectMessages::leftOut(names));
  }
}

void AppModel::addRecentProject(const std::filesystem::path& url) {
  const std::filesystem::path key = standardized(url);
  std::vector<std::filesystem::path> list = recentProjects_;
  std::erase_if(list, [&](const std::filesystem::path& p) { return standardized(p) == key; });
  list.insert(list.begin(), url);
  if (list.size() > recentLimit) list.resize(recentLimit);
  setRecentProjects(list);
  preferences_.setPathList(recentKey, list);
}

void AppModel::clearRecentProjects() {
  setRecentProjects({});
  preferences_.remove(recentKey);
}

std::vector<std::filesystem::path> AppModel::loadRecentProjects(
    const Preferences& preferences, const std::filesystem::path& recentlyUsedFile) {
  if (auto stored = preferences.pathListValue(recentKey)) return *stored;
  std::vector<std::filesystem::path> projects;
  const std::filesystem::path extension = dotExtension();
  for (auto& document : RecentDocuments::documentsIn(recentlyUsedFile)) {
    if (document.extension() != extension) continue;
    projects.push_back(std::move(document));
    if (projects.size() == recentLimit) break;
  }
  return projects;
}
