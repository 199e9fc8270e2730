// Copy and paste of settings parts, the film information of scans, clearing the roll balance and
// the C/M/Y binding.
#include <QKeySequence>

#include "Model/AppModel.h"
#include "Model/SettingsParts.h"

namespace {

// " image" or " images" after a count; the same for other nouns.
QString counted(size_t count, const char* noun) {
  return QString::number(count) + " " + noun + (count == 1 ? "" : "s");
}

// The film information a roll shares; shutter speed, aperture and notes stay with each photo.
FilmInfo withRollFields(FilmInfo own, const FilmInfo& source) {
  own.camera = source.camera;
  own.lens = source.lens;
  own.film = source.film;
  own.iso = source.iso;
  own.focalLength = source.focalLength;
  own.dateTaken = source.dateTaken;
  own.photographer = source.photographer;
  own.copyright = source.copyright;
  return own;
}

}  // namespace

std::set<SettingsPart> AppModel::storedCopyParts() const {
  return SettingsParts::parseStoredText(copyPartsStore());
}

void AppModel::copySettings(const std::set<SettingsPart>& parts) {
  const auto index = selectedIndex();
  if (!index) return;
  setCopiedSettings(items_[*index].settings);
  setCopiedParts(parts);
  setCopyPartsStore(SettingsParts::storedText(parts));
  setNotice(std::nullopt);
}

void AppModel::pasteSettings() {
  if (!copiedSettings_ || copiedParts_.empty()) return;
  const std::vector<Uuid> targets = targetIDs();
  // With no scan to paste onto there is nothing to report.
  if (targets.empty()) return;
  const ConversionSettings source = *copiedSettings_;
  pasteParts(targets, source);
  // The Undo shortcut as the platform writes it ("Ctrl+Z", on a Mac the command key).
  const QString undoKey = QKeySequence(Qt::CTRL | Qt::Key_Z).toString(QKeySequence::NativeText);
  setNotice("Pasted onto " + counted(targets.size(), "image") + ". " + undoKey + " undoes it.");
}

void AppModel::clearRollBalance(const std::vector<Uuid>& ids) {
  editScans(ids, [](ConversionSettings& s) { s.rollBalance.reset(); });
}

std::string AppModel::filmInfoValue(FilmInfoField field) const {
  const auto index = selectedIndex();
  if (!index) return {};
  return items_[*index].settings.filmInfo.*field;
}

void AppModel::setFilmInfoValue(const std::string& value, FilmInfoField field) {
  const auto index = selectedIndex();
  if (!index) return;
  const Uuid id = items_[*index].id;
  if (!writeOutsideHistory(id, [&](ConversionSettings& s) { s.filmInfo.*field = value; })) return;
  setHasUnsavedChanges(true);
  scheduleSidecarSave(id);
}

void AppModel::applyFilmInfoToRoll() {
  const auto index = selectedIndex();
  if (!index) return;
  const FilmInfo source = items_[*index].settings.filmInfo;
  const Uuid selected = items_[*index].id;
  std::vector<Uuid> others;
  for (const ImageItem& item : items_) {
    if (item.id != selected) others.push_back(item.id);
  }
  size_t changed = 0;
  for (const Uuid& id : others) {
    const auto apply = [&](ConversionSettings& s) {
      s.filmInfo = withRollFields(s.filmInfo, source);
    };
    if (!writeOutsideHistory(id, apply)) continue;
    setHasUnsavedChanges(true);
    scheduleSidecarSave(id);
    ++changed;
  }
  if (changed == 0) {
    setNotice(QString("The other scans already have this film info."));
    return;
  }
  setNotice("Film info copied to " + counted(changed, "other scan") +
            " (shutter speed, aperture and notes stay per photo).");
}

double AppModel::cmyValue(int channel) const {
  const auto index = selectedIndex();
  if (!index || channel < 0) return 1;
  const auto& cmy = items_[*index].settings.cmy;
  if (static_cast<size_t>(channel) >= cmy.size()) return 1;
  return cmy[static_cast<size_t>(channel)];
}
